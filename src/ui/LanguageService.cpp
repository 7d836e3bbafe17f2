#include "ui/LanguageService.h"

#include <QFile>
#include <QXmlStreamReader>

#include "base/Log.h"

namespace kavelo {

LanguageService& LanguageService::Instance() {
    static LanguageService service;
    return service;
}

bool LanguageService::AddLanguage(const QString& file, const QString& name) {
    if (static_cast<int>(mTables.size()) >= kMaxLanguages) {
        LogPrintA("language table %s refused: %d tables loaded already\n",
                  name.toUtf8().constData(), kMaxLanguages);
        return false;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        LogPrintA("language table %s cannot be opened\n", file.toUtf8().constData());
        return false;
    }
    Table table;
    table.name = name;
    QXmlStreamReader xml(&in);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name().compare(QLatin1String("Text"), Qt::CaseInsensitive) != 0) continue;
        QString id, value;
        bool hasId = false, hasValue = false;
        for (const QXmlStreamAttribute& attribute : xml.attributes()) {
            if (attribute.name().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0) {
                id = attribute.value().toString();
                hasId = true;
            } else if (attribute.name().compare(QLatin1String("value"), Qt::CaseInsensitive) == 0) {
                value = attribute.value().toString();
                hasValue = true;
            }
        }
        if (hasId && hasValue) table.texts.insert(id, value);
    }
    if (xml.hasError()) {
        LogPrintA("language table %s is malformed: %s\n", file.toUtf8().constData(),
                  xml.errorString().toUtf8().constData());
        return false;
    }
    mTables.push_back(std::move(table));
    mCurrent = static_cast<int>(mTables.size()) - 1;
    emit LanguageChanged();
    return true;
}

bool LanguageService::SetLanguage(const QString& name) {
    for (size_t i = 0; i < mTables.size(); ++i) {
        if (mTables[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            mCurrent = static_cast<int>(i);
            emit LanguageChanged();
            return true;
        }
    }
    return false;
}

QString LanguageService::GetLanguage() const {
    return mCurrent < 0 ? QString() : mTables[mCurrent].name;
}

QString LanguageService::GetText(const QString& text) const {
    if (!text.startsWith(QLatin1String("${"))) return text;
    QString result = text;
    if (mCurrent >= 0) result = mTables[mCurrent].texts.value(text, text);
    result.replace(QLatin1String("{\\n}"), QLatin1String("\n"));
    return result;
}

QStringList LanguageService::Keys(const QString& name) const {
    for (const Table& table : mTables)
        if (table.name.compare(name, Qt::CaseInsensitive) == 0) return table.texts.keys();
    return {};
}

void LanguageService::Clear() {
    mTables.clear();
    mCurrent = -1;
    emit LanguageChanged();
}

QString GetText(const QString& text) { return LanguageService::Instance().GetText(text); }

namespace {

QString Format(const QString& text, const FormatArg* next, const FormatArg* end) {
    const QString format = GetText(text);
    QString out;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        const QChar following = i + 1 < format.size() ? format.at(i + 1) : QChar();
        if (c == QLatin1Char('%') && following == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
        } else if (c == QLatin1Char('%') && next != end &&
                   following == QLatin1Char(next->isNumber ? 'd' : 's')) {
            out += next->isNumber ? QString::number(next->number) : next->text;
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

QString FormatText(const QString& text, std::initializer_list<FormatArg> args) {
    return Format(text, args.begin(), args.end());
}

QString FormatNumbers(const QString& text, std::initializer_list<long long> numbers) {
    const std::vector<FormatArg> args(numbers.begin(), numbers.end());
    return Format(text, args.data(), args.data() + args.size());
}

}  // namespace kavelo
