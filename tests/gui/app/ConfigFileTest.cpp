#include <gtest/gtest.h>

#include <QFile>

#include "TempDir.h"
#include "app/ConfigFile.h"

namespace kavelo {
namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    TempDir dir;
    QString Path() const { return QString::fromStdString((dir.path() / "kavelo.ini").string()); }
};

TEST_F(ConfigFileTest, MissingFileAndKeysGiveDefaults) {
    ConfigFile config(Path());
    for (const char* key : {"lan", "mem_addr", "mem_data"}) EXPECT_EQ(config.GetInt(key), 0);
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(ConfigFileTest, RoundTripUsesSectionConfigAsDecimalText) {
    ConfigFile config(Path());
    ASSERT_TRUE(config.SetInt("lan", 2));
    ASSERT_TRUE(config.SetInt("mem_addr", 4660));
    ASSERT_TRUE(config.SetInt("mem_data", -5));
    EXPECT_EQ(ConfigFile(Path()).GetInt("lan"), 2);
    EXPECT_EQ(ConfigFile(Path()).GetInt("mem_addr"), 4660);
    EXPECT_EQ(ConfigFile(Path()).GetInt("mem_data"), -5);
    const std::string text = ReadWholeFile(dir.path() / "kavelo.ini");
    EXPECT_NE(text.find("[config]"), std::string::npos);
    EXPECT_NE(text.find("mem_addr=4660"), std::string::npos);
}

TEST_F(ConfigFileTest, HandWrittenFileIsRead) {
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[config]\nlan=1\nmem_addr=abc\n");
    }
    ConfigFile config(Path());
    EXPECT_EQ(config.GetInt("lan"), 1);
    EXPECT_EQ(config.GetInt("mem_addr"), 0);  // not a number: the default
}

TEST_F(ConfigFileTest, UnwritableLocationReportsFailure) {
    // A plain file where the folder should be: nothing can be written below it.
    QFile blocker(QString::fromStdString((dir.path() / "blocker").string()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConfigFile config(blocker.fileName() + "/kavelo.ini");
    EXPECT_FALSE(config.SetInt("lan", 1));
}

TEST(ConfigPath, EndsWithFileName) {
    EXPECT_TRUE(ConfigFile::ConfigPath().endsWith("/kavelo.ini"));
}

}  // namespace
}  // namespace kavelo
