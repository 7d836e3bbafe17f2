#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <initializer_list>
#include <vector>

namespace kavelo {

// The process-wide language tables. Texts that start with a dollar sign and a brace
// are language keys looked up in the current table; everything else passes through.
class LanguageService : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLanguages = 3;

    static LanguageService& Instance();

    // Loads "Text" elements (attributes "id" and "value") from an XML table and
    // registers it under `name`; the new table becomes current. Returns false when the
    // file cannot be read or parsed, or when three tables are registered already.
    bool AddLanguage(const QString& file, const QString& name);
    // Selects the table whose name matches without regard to case; unknown names
    // change nothing. Returns whether a table was selected.
    bool SetLanguage(const QString& name);
    QString GetLanguage() const;
    QString GetText(const QString& text) const;
    // Keys of a registered table (for coverage checks); empty when unknown.
    QStringList Keys(const QString& name) const;
    // Drops every table (tear-down and tests).
    void Clear();

signals:
    void LanguageChanged();

private:
    struct Table {
        QString name;
        QHash<QString, QString> texts;
    };
    std::vector<Table> mTables;
    int mCurrent = -1;
};

// Shorthand for LanguageService::Instance().GetText(text).
QString GetText(const QString& text);

// A text (usually a language key) resolved and used as a printf format for
// numbers: each "%d" takes the next number, "%%" is a percent sign. Anything
// else, a "%d" beyond the numbers given included, is shown as written, so a
// translation can never make the formatting read what it was not given.
QString FormatNumbers(const QString& text, std::initializer_list<long long> numbers);

// One argument of FormatText: a number for "%d" or a text for "%s".
struct FormatArg {
    FormatArg(long long n) : isNumber(true), number(n) {}  // NOLINT: implicit by design
    FormatArg(int n) : isNumber(true), number(n) {}        // NOLINT
    FormatArg(QString s) : isNumber(false), text(std::move(s)) {}  // NOLINT
    bool isNumber;
    long long number = 0;
    QString text;
};

// As FormatNumbers, with texts too: each "%d" or "%s" takes the next argument
// when that argument is of its kind; otherwise it is shown as written.
QString FormatText(const QString& text, std::initializer_list<FormatArg> args);

}  // namespace kavelo
