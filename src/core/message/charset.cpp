#include "message/charset.h"

#include <array>

namespace quill {
namespace {

struct AsciiRange {
    int first;
    int last;
    std::string_view text;
};

// What each 8-bit byte becomes in plain ASCII: accented letters lose their
// accent, ligatures and fractions are spelled out, the rest becomes "_".
constexpr AsciiRange kAsciiRanges[] = {
    {128, 128, " "},   {129, 134, "A"},   {135, 135, "C"},   {136, 139, "E"},   {140, 143, "I"},
    {144, 144, "TH"},  {145, 145, "N"},   {146, 150, "O"},   {151, 154, "U"},   {155, 155, "Y"},
    {156, 156, "th"},  {157, 157, "_"},   {158, 158, "x"},   {159, 159, "/"},   {160, 160, "_"},
    {161, 161, "!"},   {162, 168, "_"},   {169, 169, "'"},   {170, 171, "\""},  {172, 172, "<"},
    {173, 173, ">"},   {174, 174, "fi"},  {175, 175, "fl"},  {176, 179, "_"},   {180, 180, "."},
    {181, 181, "|"},   {182, 182, "_"},   {183, 183, "*"},   {184, 184, "'"},   {185, 187, "\""},
    {188, 188, "..."}, {189, 190, "_"},   {191, 191, "?"},   {192, 192, "1"},   {193, 200, "_"},
    {201, 201, "2"},   {202, 203, "_"},   {204, 204, "3"},   {205, 207, "_"},   {208, 208, "-"},
    {209, 209, "+-"},  {210, 210, "1/4"}, {211, 211, "1/2"}, {212, 212, "3/4"}, {213, 218, "a"},
    {219, 219, "c"},   {220, 223, "e"},   {224, 224, "i"},   {225, 225, "AE"},  {226, 226, "i"},
    {227, 227, "a"},   {228, 229, "i"},   {230, 230, "TH"},  {231, 231, "n"},   {232, 232, "L"},
    {233, 233, "O"},   {234, 234, "OE"},  {235, 240, "o"},   {241, 241, "ae"},  {242, 244, "u"},
    {245, 245, "i"},   {246, 246, "u"},   {247, 247, "l"},   {248, 248, "_"},   {249, 249, "o"},
    {250, 250, "oe"},  {251, 251, "ss"},  {252, 252, "th"},  {253, 253, "l"},   {254, 255, "_"},
};

// Every ASCII byte as a one-character string, so toAscii never needs a buffer.
constexpr std::array<char, 128> kAsciiBytes = [] {
    std::array<char, 128> bytes{};
    for (int i = 0; i < 128; ++i) bytes[i] = char(i);
    return bytes;
}();

const std::array<std::string_view, 256>& asciiTable() {
    static const std::array<std::string_view, 256> table = [] {
        std::array<std::string_view, 256> t{};
        for (int i = 0; i < 128; ++i) t[i] = std::string_view(&kAsciiBytes[i], 1);
        for (const AsciiRange& range : kAsciiRanges)
            for (int b = range.first; b <= range.last; ++b) t[b] = range.text;
        return t;
    }();
    return table;
}

}  // namespace

std::string_view toAscii(int byte) { return asciiTable()[unsigned(byte) & 0xff]; }

std::string asciiTransliteration(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) out += toAscii(static_cast<unsigned char>(c));
    return out;
}

}  // namespace quill
