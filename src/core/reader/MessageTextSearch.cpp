#include "reader/MessageTextSearch.h"

#include <algorithm>
#include <numeric>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "reader/FindExpression.h"
#include "store/MailBox.h"

namespace quill {
namespace {

// Large enough that reading costs what streaming the file costs.
constexpr std::size_t kPieceBytes = 4u << 20;

int descriptorOf(const MailBox& mailbox) {
    return mailbox.mailFile() ? fileno(mailbox.mailFile()) : -1;
}

}  // namespace

MessageTextSearch::MessageTextSearch(MailBox& mailbox, const FindExpression& expression)
    : m_mailbox(mailbox), m_expression(expression) {
    int count = static_cast<int>(mailbox.toc().length());
    m_fileOrder.resize(static_cast<std::size_t>(count));
    std::iota(m_fileOrder.begin(), m_fileOrder.end(), 0);
    std::stable_sort(m_fileOrder.begin(), m_fileOrder.end(), [&](int a, int b) {
        return mailbox.tocInfoAt(a).offset < mailbox.tocInfoAt(b).offset;
    });
    m_found.assign(static_cast<std::size_t>(count), 0);
}

bool MessageTextSearch::textMatches(int msgId, std::string_view bytes) {
    if (m_expression.matches(bytes)) return true;
    const TocEntry& entry = m_mailbox.tocInfoAt(msgId);
    if (entry.type != 'r') return false;
    std::string rtf = m_mailbox.dirname() + "/" + m_mailbox.toc().loadAttach(msgId) + "/index.rtf";
    std::string text;
    if (!readFile(rtf, text)) {
        logRaw("Warning: Can't open " + rtf + "\n");
        return false;
    }
    return m_expression.matches(text);
}

bool MessageTextSearch::matches(int msgId) {
    const TocEntry& entry = m_mailbox.tocInfoAt(msgId);
    m_single.resize(static_cast<std::size_t>(std::max(entry.length, 0)));
    if (!readAllAt(descriptorOf(m_mailbox), m_single.data(), m_single.size(), entry.offset))
        return false;
    return textMatches(msgId, m_single);
}

bool MessageTextSearch::readPiece() {
    const TocEntry& first = m_mailbox.tocInfoAt(m_fileOrder[m_next]);
    std::size_t want = std::max<std::size_t>(kPieceBytes, std::max(first.length, 0));
    m_piece.resize(want);
    m_pieceStart = first.offset;
    std::size_t got = readAt(descriptorOf(m_mailbox), m_piece.data(), want, first.offset);
    m_piece.resize(got);
    return got >= static_cast<std::size_t>(std::max(first.length, 0));
}

bool MessageTextSearch::searchSome(std::size_t byteBudget) {
    std::size_t looked = 0;
    while (m_next < m_fileOrder.size() && looked < byteBudget) {
        int msgId = m_fileOrder[m_next];
        const TocEntry& entry = m_mailbox.tocInfoAt(msgId);
        std::int64_t length = std::max(entry.length, 0);
        std::int64_t from = entry.offset - m_pieceStart;
        bool inPiece = from >= 0 && from + length <= std::int64_t(m_piece.size());
        if (!inPiece && !readPiece()) {
            ++m_next;  // a message cut short by the file's end cannot match
            continue;
        }
        from = entry.offset - m_pieceStart;
        std::string_view bytes(m_piece.data() + from, static_cast<std::size_t>(length));
        m_found[static_cast<std::size_t>(msgId)] = textMatches(msgId, bytes);
        looked += bytes.size();
        ++m_next;
    }
    return m_next == m_fileOrder.size();
}

double MessageTextSearch::fraction() const {
    return m_fileOrder.empty() ? 1.0 : double(m_next) / double(m_fileOrder.size());
}

}  // namespace quill
