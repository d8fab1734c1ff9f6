// ByteSource: a read position over message bytes held elsewhere (a mapped
// mailbox, a buffer read from "mbox", a body). Parsers take lines from it and
// hand the rest to whoever reads the body; the bytes must outlive the source.
// A source over shared bytes hands the body on as a share of them, not a copy.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/SharedBytes.h"

namespace quill {

class ByteSource {
  public:
    ByteSource() = default;
    explicit ByteSource(std::string_view bytes) : m_bytes(bytes) {}
    explicit ByteSource(SharedBytes bytes) : m_bytes(bytes.view()), m_shared(std::move(bytes)) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }
    size_t position() const { return m_pos; }
    void seek(size_t pos) { m_pos = pos < m_bytes.size() ? pos : m_bytes.size(); }
    size_t size() const { return m_bytes.size(); }

    // Up to maxBytes bytes, stopping after the first newline; empty at the end.
    std::string_view readLine(size_t maxBytes) {
        std::string_view rest = m_bytes.substr(m_pos);
        size_t n = rest.size() < maxBytes ? rest.size() : maxBytes;
        size_t nl = rest.substr(0, n).find('\n');
        if (nl != std::string_view::npos) n = nl + 1;
        m_pos += n;
        return rest.substr(0, n);
    }
    // Everything not read yet; the source is then at its end.
    std::string_view readRest() {
        std::string_view rest = m_bytes.substr(m_pos);
        m_pos = m_bytes.size();
        return rest;
    }
    std::string_view remaining() const { return m_bytes.substr(m_pos); }
    // readRest as a share of the bytes this source was made over, or a copy.
    SharedBytes readRestShared() {
        std::string_view rest = readRest();
        return m_shared.empty() ? SharedBytes::copyOf(rest) : m_shared.sliceFor(rest);
    }

  private:
    std::string_view m_bytes;
    SharedBytes m_shared;
    size_t m_pos = 0;
};

}  // namespace quill
