#include "text/Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// GB18030 through Qt's ICU-backed codec; encodingForName() does not know it, so it is named.
QString DecodeGb18030(const std::string& bytes) {
    QStringDecoder decoder("GB18030");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeGb18030(const QString& s) {
    QStringEncoder encoder("GB18030");
    QByteArray out = encoder.encode(s);
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

} // namespace

std::optional<Text> TextFromUtf8(std::string_view utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError())
        return std::nullopt;
    return Text::FromBytes(EncodeGb18030(s));
}

Text U8(std::string_view utf8) { return TextFromUtf8(utf8).value_or(Text()); }

std::string TextToUtf8(const Text& t) {
    QByteArray out = DecodeGb18030(t.bytes()).toUtf8();
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

Text TextFromQString(const QString& s) { return Text::FromBytes(EncodeGb18030(s)); }

QString TextToQString(const Text& t) { return DecodeGb18030(t.bytes()); }

std::string TextToPath(const Text& t) { return TextToUtf8(t); }

std::optional<Text> TextFromPath(std::string_view path) { return TextFromUtf8(path); }
