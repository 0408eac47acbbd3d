#include "text/Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// GB18030 through Qt's ICU-backed codec; encodingForName() does not know it, so it is named.
QString DecodeGb18030(const std::string& bytes) {
    QStringDecoder decoder("GB18030");
    QString s = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    // The decoder holds back an unfinished sequence at the end and would drop it silently. A line
    // feed, which never belongs to a sequence, makes it emit U+FFFD for those bytes; then the line
    // feed is removed again.
    s += decoder.decode(QByteArrayView("\n", 1));
    if (s.endsWith(u'\n'))
        s.chop(1);
    return s;
}

std::string EncodeGb18030(const QString& s) {
    QStringEncoder encoder("GB18030");
    QByteArray out = encoder.encode(s);
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

} // namespace

std::optional<Text> TextFromUtf8(std::string_view utf8) {
    // ConvertInitialBom keeps a leading U+FEFF, which the decoder would otherwise drop: a name
    // that starts with it must not turn into the text of another file's name.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString s = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError())
        return std::nullopt;
    return Text::FromBytes(EncodeGb18030(s));
}

Text U8(std::string_view utf8) {
    return TextFromUtf8(utf8).value_or(Text());
}

std::string TextToUtf8(const Text& t) {
    QByteArray out = DecodeGb18030(t.bytes()).toUtf8();
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

Text TextFromQString(const QString& s) {
    return Text::FromBytes(EncodeGb18030(s));
}

QString TextToQString(const Text& t) {
    return DecodeGb18030(t.bytes());
}

std::string TextToPath(const Text& t) {
    // A path must name exactly the file the text names: bytes that are no character, or a zero
    // byte that would cut the path short, give no path at all.
    QStringDecoder decoder("GB18030");
    QString s = decoder.decode(QByteArrayView(t.bytes().data(), t.size()));
    if (decoder.hasError() || s.contains(QChar(0)) || TextFromQString(s) != t)
        return std::string();
    QByteArray out = s.toUtf8();
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

std::optional<Text> TextFromPath(std::string_view path) {
    return TextFromUtf8(path);
}
