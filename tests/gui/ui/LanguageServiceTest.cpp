#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "app/MainWnd.h"
#include "ui/LanguageService.h"

namespace kavelo {
namespace {

class LanguageTables : public ::testing::Test {
protected:
    void SetUp() override { RegisterLanguages(); }
    void TearDown() override { LanguageService::Instance().Clear(); }
};

TEST_F(LanguageTables, RegistersThreeTablesInOrderAndRefusesAFourth) {
    LanguageService& service = LanguageService::Instance();
    EXPECT_EQ(service.GetLanguage(), "ru");  // the table loaded last is current
    EXPECT_FALSE(service.AddLanguage(":/skin/lan/lan_en.xml", "de"));
    EXPECT_TRUE(service.SetLanguage("CN_ZH"));
    EXPECT_EQ(service.GetLanguage(), "cn_zh");
    EXPECT_FALSE(service.SetLanguage("fr"));
    EXPECT_EQ(service.GetLanguage(), "cn_zh");
}

struct TextCase {
    const char* name;
    const char* input;
    const char* expected;
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class GetTextRules : public LanguageTables, public ::testing::WithParamInterface<TextCase> {};

TEST_P(GetTextRules, ResolvesInEnglish) {
    LanguageService::Instance().SetLanguage("en");
    EXPECT_EQ(GetText(QString::fromUtf8(GetParam().input)).toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetTextRules,
    ::testing::Values(TextCase{"empty", "", ""}, TextCase{"plain", "plain text", "plain text"},
                      TextCase{"plain_with_break", "a{\\n}b", "a{\\n}b"},
                      TextCase{"known_key", "${tips}", "Notice"},
                      TextCase{"unknown_key", "${no_such_key}", "${no_such_key}"},
                      TextCase{"unknown_key_with_break", "${x{\\n}y}", "${x\ny}"},
                      TextCase{"dollar_without_brace", "$tips", "$tips"}),
    [](const auto& info) { return std::string(info.param.name); });

// Language texts used as number formats: the numbers land where "%d" stands,
// and nothing else in a text is taken for a conversion.
TEST_F(LanguageTables, FormatNumbersFillsOnlyTheNumbersGiven) {
    LanguageService::Instance().SetLanguage("en");
    struct Row {
        const char* text;
        std::initializer_list<long long> numbers;
        const char* expected;
    };
    const Row rows[] = {
        {"${update_progress_mcu}", {42}, "Updating MCU firmware: 42%"},
        {"v%d.%d or v%d.%d", {1, 17, 1, 18}, "v1.17 or v1.18"},
        {"%d of %d", {7}, "7 of %d"},     // more conversions than numbers
        {"%s at %d%%", {5}, "%s at 5%"},  // only %d and %% are conversions
        {"100%", {}, "100%"},             // a lone percent sign stays
    };
    for (const Row& r : rows)
        EXPECT_EQ(FormatNumbers(QString::fromUtf8(r.text), r.numbers).toStdString(), r.expected)
            << r.text;
}

// Texts and numbers: each conversion takes the next argument only when the
// kinds agree, so a translation with swapped conversions cannot misread one.
TEST_F(LanguageTables, FormatTextFillsTextsAndNumbersInOrder) {
    LanguageService::Instance().SetLanguage("en");
    struct Row {
        const char* text;
        std::initializer_list<FormatArg> args;
        const char* expected;
    };
    const Row rows[] = {
        {"${load_scene_tips1}", {3, QStringLiteral("Club")}, "Load preset 3 \"Club\"?"},
        {"${same_name_tips}",
         {QStringLiteral("Bass"), 4, QStringLiteral("Bass")},
         "The name \"Bass\" is already used by preset 4 (\"Bass\")."},
        {"%s then %d", {5, QStringLiteral("x")}, "%s then 5"},  // kinds swapped
        {"%s %s", {QStringLiteral("a")}, "a %s"},                 // fewer arguments
        {"%d%% %s", {50, QStringLiteral("%d")}, "50% %d"},        // an argument is not re-read
    };
    for (const Row& r : rows)
        EXPECT_EQ(FormatText(QString::fromUtf8(r.text), r.args).toStdString(), r.expected)
            << r.text;
}

TEST_F(LanguageTables, StartupLanguageFromConfigValue) {
    const struct {
        int lan;
        const char* expected;
    } cases[] = {{0, "en"}, {1, "cn_zh"}, {2, "ru"}, {7, "ru"}, {-1, "ru"}};
    for (const auto& c : cases) {
        RegisterLanguages();
        SelectConfiguredLanguage(c.lan);
        EXPECT_EQ(LanguageService::Instance().GetLanguage().toStdString(), c.expected)
            << "lan=" << c.lan;
    }
}

// Every "${key}" written in the sources or the layouts must be in all three tables.
QSet<QString> KeysUsedInProject() {
    QSet<QString> keys;
    const QRegularExpression pattern(QStringLiteral(R"(\$\{[A-Za-z0-9_]+\})"));
    const QString root = QStringLiteral(KAVELO_SOURCE_DIR);
    for (const QString& folder : {QStringLiteral("/src"), QStringLiteral("/skin/xml")}) {
        QDirIterator it(root + folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (const auto& match : pattern.globalMatch(text)) keys.insert(match.captured());
        }
    }
    return keys;
}

TEST_F(LanguageTables, EveryKeyUsedIsInEveryTable) {
    const QSet<QString> used = KeysUsedInProject();
    ASSERT_FALSE(used.isEmpty());
    for (const char* language : {"en", "cn_zh", "ru"}) {
        const QStringList keys = LanguageService::Instance().Keys(language);
        const QSet<QString> have(keys.begin(), keys.end());
        for (const QString& key : used)
            EXPECT_TRUE(have.contains(key)) << key.toStdString() << " missing in " << language;
    }
}

TEST_F(LanguageTables, TablesHaveTheSameKeysAndFormatConversions) {
    LanguageService& service = LanguageService::Instance();
    const QRegularExpression conversion(QStringLiteral("%[-+ #0]*[0-9]*(?:\\.[0-9]+)?[a-zA-Z%]"));
    auto conversions = [&](const QString& text) {
        QStringList found;
        for (const auto& m : conversion.globalMatch(text)) found << m.captured();
        return found;
    };
    QStringList english = service.Keys("en");
    english.sort();
    for (const char* language : {"cn_zh", "ru"}) {
        QStringList other = service.Keys(language);
        other.sort();
        EXPECT_EQ(other, english) << language;
    }
    for (const QString& key : english) {
        service.SetLanguage("en");
        const QStringList reference = conversions(GetText(key));
        for (const char* language : {"cn_zh", "ru"}) {
            service.SetLanguage(language);
            EXPECT_EQ(conversions(GetText(key)), reference) << key.toStdString() << " " << language;
            EXPECT_FALSE(GetText(key).trimmed().isEmpty()) << key.toStdString();
        }
    }
}

}  // namespace
}  // namespace kavelo
