#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "formats/uuencode.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

std::string encode(const std::string& data, const std::string& name = "x", int mode = 0644) {
    std::string inBytes = data;
    ByteSource in(inBytes);
    ByteSink out;
    EXPECT_TRUE(uuencode(in, out, name, mode));
    return out.bytes();
}

struct Decoded {
    bool ok;
    std::string data;
    std::string name;
    int mode;
};

Decoded decode(const std::string& text) {
    std::string inBytes = text;
    ByteSource in(inBytes);
    ByteSink out;
    Decoded d{};
    d.ok = uudecode(in, out, &d.name, &d.mode);
    d.data = out.bytes();
    return d;
}

std::string bytes(size_t n, unsigned seed = 1) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

bool haveProgram(const char* path) { return ::access(path, X_OK) == 0; }

TEST(Uuencode, WritesBeginLineDataLinesZeroLineAndEnd) {
    struct Row {
        const char* name;
        std::string data;
        std::string expected;
    } rows[] = {
        {"empty", "", "begin 644 x\n`\nend\n"},
        {"one byte", "A", "begin 644 x\n!00``\n`\nend\n"},
        {"three bytes", "Cat", "begin 644 x\n#0V%T\n`\nend\n"},
        {"zero bytes use the grave accent", std::string(3, '\0'), "begin 644 x\n#````\n`\nend\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(encode(row.data), row.expected);
    }
    EXPECT_EQ(encode("", "report.tar.Z", 0755).substr(0, 23), "begin 755 report.tar.Z\n");
}

TEST(Uuencode, LineLengthsAroundAFullLine) {
    struct Row {
        size_t size;
        std::vector<std::pair<char, size_t>> lines;  // length character and line length
    } rows[] = {
        {44, {{'L', 62}, {'`', 2}}},
        {45, {{'M', 62}, {'`', 2}}},
        {46, {{'M', 62}, {'!', 6}, {'`', 2}}},
        {91, {{'M', 62}, {'M', 62}, {'!', 6}, {'`', 2}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        std::istringstream text(encode(bytes(row.size)));
        std::string line;
        std::getline(text, line);
        for (const auto& [length, size] : row.lines) {
            ASSERT_TRUE(std::getline(text, line));
            EXPECT_EQ(line[0], length);
            EXPECT_EQ(line.size() + 1, size);
        }
        ASSERT_TRUE(std::getline(text, line));
        EXPECT_EQ(line, "end");
        EXPECT_FALSE(std::getline(text, line));
    }
}

TEST(Uuencode, ShortLastGroupCarriesBytesLeftFromTheLineBefore) {
    // The 46th byte is encoded with bytes 2 and 3 of the first line as padding,
    // byte for byte what earlier versions wrote.
    std::string data = "ABC" + std::string(42, '.') + "Z";
    std::string text = encode(data);
    std::string expected = std::string("!") + "6D)#" + "\n";
    EXPECT_NE(text.find("\n" + expected + "`\nend\n"), std::string::npos) << text;
    EXPECT_EQ(decode(text).data, data);
}

TEST(Uudecode, AcceptsWhatTransportDoesToTheBlock) {
    std::string ab = "begin 600 name with blanks\n\"86(`\n`\nend\n";  // "ab"
    struct Row {
        const char* name;
        std::string text;
        std::string data;
    } rows[] = {
        {"plain", ab, "ab"},
        {"text before begin", "From: someone\n\nbeginning\nbegin\n" + ab, "ab"},
        {"missing end", "begin 600 n\n\"86(`\n`\n", "ab"},
        {"missing zero line and end", "begin 600 n\n\"86(`\n", "ab"},
        {"missing newline at the end", "begin 600 n\n\"86(`", "ab"},
        {"trailing blanks stripped", "begin 600 n\n#0V%T\n!00\n`\nend\n", "CatA"},
        {"blank as zero line", "begin 600 n\n\"86(`\n \nend\n", "ab"},
        {"stops at the zero line", "begin 600 n\n\"86(`\n`\n\"86(`\nend\n", "ab"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Decoded d = decode(row.text);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.data, row.data);
    }
    Decoded d = decode(ab);
    EXPECT_EQ(d.name, "name with blanks");
    EXPECT_EQ(d.mode, 0600);
}

TEST(Uudecode, RefusesBrokenBlocks) {
    struct Row {
        const char* name;
        std::string text;
    } rows[] = {
        {"no begin line", "\"86(`\n`\nend\n"},
        {"empty input", ""},
        {"nothing after begin", "begin 644 x\n"},
        {"begin line without newline", "begin 644 x"},
        {"group cut short", "begin 644 x\nM86)C\n"},
        {"second character missing", "begin 644 x\n!0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(decode(row.text).ok);
    }
}

TEST(Uudecode, RoundTripsRandomDataOfManyLengths) {
    for (size_t n : {0, 1, 2, 3, 4, 44, 45, 46, 89, 90, 91, 135, 1000, 4096, 65537}) {
        SCOPED_TRACE(n);
        std::string data = bytes(n, static_cast<unsigned>(n));
        Decoded d = decode(encode(data, "f.bin", 0640));
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.data, data);
        EXPECT_EQ(d.name, "f.bin");
        EXPECT_EQ(d.mode, 0640);
    }
}

class UuencodeInterop : public test::QuillTest {};

TEST_F(UuencodeInterop, SystemUudecodeReadsOurBlocks) {
    if (!haveProgram("/usr/bin/uudecode")) GTEST_SKIP() << "no system uudecode";
    for (size_t n : {0, 1, 46, 5000}) {
        SCOPED_TRACE(n);
        std::string data = bytes(n, 7);
        std::string inBytes = encode(data, "ignored");
        ByteSource in(inBytes);
        std::string out = tmp() + "/out";
        ASSERT_EQ(RunCommand(processLauncher())
                      .runPipeWithInputFrom({{"/usr/bin/uudecode", "-o", out}}, in),
                  0);
        EXPECT_EQ(test::slurp(out), data);
    }
}

TEST_F(UuencodeInterop, WeReadTheSystemUuencodersBlocks) {
    if (!haveProgram("/usr/bin/uuencode")) GTEST_SKIP() << "no system uuencode";
    for (size_t n : {0, 2, 45, 5000}) {
        SCOPED_TRACE(n);
        std::string data = bytes(n, 9);
        std::string inBytes = data;
        ByteSource in(inBytes);
        ByteSink text;
        ASSERT_EQ(RunCommand(processLauncher()).runPipe({{"/usr/bin/uuencode", "a.tar"}}, in, text),
                  0);
        Decoded d = decode(text.bytes());
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.data, data);
        EXPECT_EQ(d.name, "a.tar");
    }
}

TEST_F(UuencodeInterop, DecodeProgramIsAFilter) {
    std::string program = std::string(QUILL_BIN_DIR) + "/decode";
    if (!haveProgram(program.c_str())) GTEST_SKIP() << "decode is not built";
    std::string data = bytes(3000, 3);
    std::string inBytes = "Subject: x\n\n" + encode(data);
    ByteSource in(inBytes);
    ByteSink out;
    EXPECT_EQ(RunCommand(processLauncher()).runPipe({{program}}, in, out), 0);
    EXPECT_EQ(out.bytes(), data);

    ByteSource garbage("no block here\n");
    ByteSink nothing;
    EXPECT_EQ(RunCommand(processLauncher()).runPipe({{program}}, garbage, nothing), 1);
}

TEST(Uudecode, ModeKeepsOnlyThePermissionBits) {
    struct Row {
        const char* name;
        const char* digits;
        int mode;
    };
    const Row rows[] = {
        {"plain", "644", 0644},
        {"with-file-type", "100755", 0755},
        {"more-digits-than-an-int-holds", "77777777777", 07777},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Decoded d = decode(std::string("begin ") + row.digits + " f\n`\nend\n");
        EXPECT_EQ(d.mode, row.mode);
        EXPECT_EQ(d.name, "f");
    }
}

}  // namespace
}  // namespace quill
