#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

// A text as the program handles it: a byte string in GB18030. Its one- and two-byte codes are
// those of code page 936 (GBK); its four-byte codes carry every other Unicode character, and they
// keep the rule "a byte of 0x80 or above leads a two-byte step" aligned. Lengths and positions
// count bytes.
class Text {
public:
    Text() = default;
    // Takes the bytes as they are (already GB18030).
    static Text FromBytes(std::string_view bytes) { return Text(std::string(bytes)); }

    const std::string& bytes() const { return bytes_; }
    int size() const { return static_cast<int>(bytes_.size()); }
    bool isEmpty() const { return bytes_.empty(); }
    unsigned char at(int i) const { return static_cast<unsigned char>(bytes_[i]); }

    bool operator==(const Text&) const = default;

private:
    explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string bytes_;
};

// --- Conversions at the edges. This is the one place that knows the encodings. ---

// From UTF-8 (source literals, file system names). Invalid UTF-8 gives no text.
std::optional<Text> TextFromUtf8(std::string_view utf8);
// From a UTF-8 literal of the program's own source, which is always valid.
Text U8(std::string_view utf8);
std::string TextToUtf8(const Text& t);

Text TextFromQString(const QString& s);
QString TextToQString(const Text& t);

// A file system path for the text (UTF-8 on Linux), and back. A name on disk that is not valid
// UTF-8 has no text, and a text that is not valid GB18030 has no path (the empty path, which
// every file operation refuses), so neither can lead to another file.
std::string TextToPath(const Text& t);
std::optional<Text> TextFromPath(std::string_view path);

// --- Number and text rules. Every input yields a defined result. ---

Text IntToText(std::int32_t v);
Text SingleToText(float x);
Text DoubleToText(double x);
std::int32_t TextToInt(const Text& t);
double TextToReal(const Text& t);
double RoundToDecimals(double x, int n);
// 1-based byte position of needle in haystack, -1 when absent.
int FindText(const Text& haystack, const Text& needle, bool caseInsensitive);
Text ReplaceText(const Text& text, const Text& oldText, const Text& newText, bool caseSensitive);
Text RightText(const Text& t, int n);
int CompareText(const Text& a, const Text& b);
Text ConcatText(std::initializer_list<Text> parts);
template <typename... Parts> Text ConcatText(const Parts&... parts) {
    return ConcatText({Text(parts)...});
}
Text FoldFullWidth(const Text& t);
