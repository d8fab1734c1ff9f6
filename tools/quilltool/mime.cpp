// quilltool mime: how Quill reads one message file, as a JSON object: the
// class that decodes it, its subject and sender after that class read them,
// and the tree of MIME parts with their decoded body sizes and digests.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/bigendian.h"
#include "base/utf8.h"
#include "commands.h"
#include "message/MimeMessage.h"

namespace quill::tool {
namespace {

// ---- SHA-256, for the body digests ----

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress(std::array<uint32_t, 8>& h, const char* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = getU32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<uint32_t, 8> v = h;
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 = v[7] + (rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25)) +
                      ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRound[i] + w[i];
        uint32_t t2 = (rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22)) +
                      ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        for (int j = 7; j > 0; --j) v[j] = v[j - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) h[i] += v[i];
}

// A digest taken over pieces as they come: whole blocks are compressed where
// they lie, only a block's worth is ever held.
struct Sha256 {
    std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string partial;
    uint64_t length = 0;

    void add(std::string_view data) {
        length += data.size();
        if (!partial.empty()) {
            size_t take = std::min(data.size(), 64 - partial.size());
            partial.append(data.substr(0, take));
            data.remove_prefix(take);
            if (partial.size() < 64) return;
            compress(h, partial.data());
            partial.clear();
        }
        for (; data.size() >= 64; data.remove_prefix(64)) compress(h, data.data());
        partial.assign(data);
    }

    std::string hex() {
        uint64_t bits = length * 8;
        std::string tail = partial + '\x80';
        while (tail.size() % 64 != 56) tail.push_back('\0');
        char size[8];
        putU64(size, bits);
        tail.append(size, sizeof size);
        for (size_t at = 0; at < tail.size(); at += 64) compress(h, tail.data() + at);
        std::string out;
        for (uint32_t word : h) out += formatString("%08x", word);
        return out;
    }
};

// ---- JSON ----

// Bytes of 128 and above stand for the characters of the same number.
std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c < 0x20 || c == 0x7f) {
            out += formatString("\\u%04x", c);
        } else if (c >= 0x80) {
            appendUtf8(out, c);
        } else {
            out.push_back(char(c));
        }
    }
    return out + "\"";
}

std::string jsonValue(const std::string* value) { return value ? jsonString(*value) : "null"; }
std::string jsonValue(const std::optional<std::string>& value) {
    return value ? jsonString(*value) : "null";
}

// The decoded body's length and digest, read a piece at a time.
std::string bodyFields(const MailMessage& message) {
    Sha256 digest;
    message.writeBodyPieces([&digest](std::string_view piece) {
        digest.add(piece);
        return true;
    });
    return ", \"body_length\": " + std::to_string(digest.length) +
           ", \"body_sha256\": " + jsonString(digest.hex());
}

std::string jsonObject(const MailHeaders& pairs) {
    std::string out = "{";
    for (int i = pairs.count() - 1; i >= 0; --i) {
        if (out.size() > 1) out += ", ";
        out += jsonString(pairs.keyAt(i)) + ": " + jsonString(pairs.valueAt(i));
    }
    return out + "}";
}

std::string jsonNode(MimeMessage& node) {
    std::string out = "{\"type\": " + jsonValue(node.mimeType()) +
                      ", \"subtype\": " + jsonValue(node.mimeSubtype()) +
                      ", \"params\": " + jsonObject(node.mimeParameters()) +
                      ", \"encoding\": " + jsonValue(node.mimeEncoding()) +
                      ", \"disposition\": " + jsonValue(node.mimeDisposition()) +
                      ", \"disposition_params\": " + jsonObject(node.mimeDispositionParameters());
    bool multipart = node.mimeType() && *node.mimeType() == "multipart";
    if (!multipart) {
        out += bodyFields(node);
    } else {
        out += ", \"body_length\": null, \"body_sha256\": null, \"parts\": [";
        const MimeMessage::PartList* parts = node.parts();
        for (size_t i = 0; parts && i < parts->size(); ++i)
            out += (i ? ", " : "") + jsonNode(*(*parts)[i]);
        out += "]";
    }
    return out + "}";
}

}  // namespace

int runMime(const Args& args) {
    int status = 0;
    std::optional<std::string> text = readFileArgument(args, "mime", status);
    if (!text) return status;
    registerMimeMessageClass();
    ByteSource stream(SharedBytes(std::move(*text)));
    std::unique_ptr<MailMessage> message = MailMessage::newFromStream(stream);
    if (!message) {
        std::fprintf(stderr, "%s: not a message\n", args[0].c_str());
        return 1;
    }
    std::string out = "{\"class\": " + jsonString(message->formatClass().name) +
                      ", \"subject\": " + jsonValue(message->headerValueForKey("Subject")) +
                      ", \"from\": " + jsonValue(message->headerValueForKey("From")) +
                      ", \"root\": ";
    if (auto* mime = dynamic_cast<MimeMessage*>(message.get())) {
        out += jsonNode(*mime);
    } else {
        out +=
            "{\"type\": null, \"subtype\": null, \"params\": {}, \"encoding\": null, "
            "\"disposition\": null, \"disposition_params\": {}" +
            bodyFields(*message) + "}";
    }
    std::printf("%s}\n", out.c_str());
    return 0;
}

}  // namespace quill::tool
