// The DSP memory window as a service user meets it: "debug.ini" present, opened from
// the main window's debug button, reading and writing words of the virtual
// amplifier's memory and remembering its fields in the configuration file.
#include <gtest/gtest.h>

#include <QLabel>
#include <fstream>
#include <ostream>
#include <string>

#include "TempDir.h"
#include "ToolWindowFixture.h"
#include "app/ConfigFile.h"
#include "windows/MemWrWnd.h"

namespace kavelo {
namespace {

class Memory : public test::ToolWindowFixture {
protected:
    // The marker makes the debug button visible; the configuration file goes to a
    // folder of the test's own.
    ScopedCurrentDir cwd;
    QByteArray oldConfigHome;

    void SetUp() override {
        ToolWindowFixture::SetUp();
        std::ofstream(cwd.path() / "debug.ini") << "";
        oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(cwd.path().string()));
        OpenWith(Defaults(5));
    }
    void TearDown() override {
        ToolWindowFixture::TearDown();
        if (oldConfigHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfigHome);
    }
    void WithMemory(const std::function<void(CMemWrWnd*)>& body) {
        WithModal<CMemWrWnd>(
            [&] {
                QWidget* debug = Control("btn_debug");
                ASSERT_TRUE(debug && !debug->isHidden());
                QTest::mouseClick(debug, Qt::LeftButton);
            },
            body);
    }
    static QString Text(QWidget* memory, const char* name) { return EditIn(memory, name)->text(); }
    static int Key(const char* key) { return ConfigFile().GetInt(key, 12345); }
    // Whether any memory query (not a write) reached the amplifier.
    bool MemoryReadSent() const {
        for (const auto& r : amp.WrittenReports())
            if (r[4] == 0x01 && r[5] == kMemSubcmd && r[6] != 0xBB) return true;
        return false;
    }
    static QString Status(QWidget* memory) {
        return memory->findChild<QLabel*>("mem_status")->text();
    }
};

TEST_F(Memory, OpensShowingTheRememberedFields) {
    ASSERT_TRUE(ConfigFile().SetInt("mem_addr", 4096));
    ASSERT_TRUE(ConfigFile().SetInt("mem_data", -1));
    WithMemory([&](CMemWrWnd* memory) {
        EXPECT_EQ(memory->windowTitle(), "memwrwnd");
        EXPECT_EQ(Text(memory, "addr_edit"), "0x00001000");
        EXPECT_EQ(Text(memory, "data_edit"), "0xffffffff");
        ClickIn(memory, "closebtn");
        EXPECT_FALSE(memory->isVisible());
    });
}

struct ReadCase {
    const char* name;
    const char* typed;
    std::uint32_t address;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.typed; }

class MemoryReads : public Memory, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(MemoryReads, ReadTheWordAtTheTypedAddress) {
    const ReadCase& c = GetParam();
    amp.SetMemoryWord(c.address, 0x12345678);
    WithMemory([&](CMemWrWnd* memory) {
        TypeIn(memory, "addr_edit", c.typed);
        ClickIn(memory, "read_btn");
        const QString address = QString::asprintf("0x%08x", c.address);
        EXPECT_EQ(Text(memory, "addr_edit"), address);
        // The reply fills both fields and both keys.
        ASSERT_TRUE(test::WaitUntil([&] { return Text(memory, "data_edit") == "0x12345678"; }));
        EXPECT_EQ(Text(memory, "addr_edit"), address);
        EXPECT_EQ(Key("mem_addr"), static_cast<int>(c.address));
        EXPECT_EQ(Key("mem_data"), 0x12345678);
    });
}

INSTANTIATE_TEST_SUITE_P(Entries, MemoryReads,
                         ::testing::Values(ReadCase{"decimal_up_to_a_letter", "1f", 1},
                                           ReadCase{"hexadecimal", "0x1F", 31},
                                           ReadCase{"octal", "017", 15},
                                           ReadCase{"prefix_alone", "0x", 0},
                                           ReadCase{"full_width", "0x00001000", 0x1000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Memory, WritesTheWordAndRemembersThePattern) {
    WithMemory([&](CMemWrWnd* memory) {
        TypeIn(memory, "addr_edit", "0x20");
        TypeIn(memory, "data_edit", "0xffffffff");
        ClickIn(memory, "write_btn");
        EXPECT_EQ(Text(memory, "addr_edit"), "0x00000020");
        EXPECT_EQ(Text(memory, "data_edit"), "0xffffffff");
    });
    EXPECT_EQ(SentPayloads(kMemSubcmd), std::vector<std::string>{"20 00 00 00 FF FF FF FF"});
    EXPECT_EQ(amp.Snapshot().memory.at(0x20), 0xFFFFFFFFu);
    EXPECT_EQ(Key("mem_addr"), 32);
    EXPECT_EQ(Key("mem_data"), -1);
}

TEST_F(Memory, RefusesNumbersBeyond32Bits) {
    ASSERT_TRUE(ConfigFile().SetInt("mem_addr", 99));
    WithMemory([&](CMemWrWnd* memory) {
        TypeIn(memory, "addr_edit", "0x100000000");
        ClickIn(memory, "read_btn");
        EXPECT_EQ(Status(memory), GetText("${mem_too_large}"));
        EXPECT_EQ(Text(memory, "addr_edit"), "0x100000000");  // left for correcting
        TypeIn(memory, "addr_edit", "0x10");
        TypeIn(memory, "data_edit", "4294967296");
        ClickIn(memory, "write_btn");
        EXPECT_EQ(Status(memory), GetText("${mem_too_large}"));
        EXPECT_EQ(Key("mem_addr"), 99);  // a refused entry is not remembered
        EXPECT_EQ(Key("mem_data"), 0);
        TypeIn(memory, "data_edit", "7");
        ClickIn(memory, "write_btn");
        EXPECT_EQ(Status(memory), "");
    });
    // Only the corrected write went out; nothing was read.
    EXPECT_EQ(SentPayloads(kMemSubcmd), std::vector<std::string>{"10 00 00 00 07 00 00 00"});
    EXPECT_FALSE(MemoryReadSent()) << "a read went out";
    EXPECT_EQ(Key("mem_addr"), 16);
    EXPECT_EQ(Key("mem_data"), 7);
}

// Text that is not a number is refused with a message in the window: no word is read
// or written in its place (0 was read, or written over a real word, before).
TEST_F(Memory, RefusesTextThatIsNotANumber) {
    struct Case {
        const char* field;
        const char* text;
        const char* button;
    };
    const Case cases[] = {{"addr_edit", "hello", "read_btn"},
                          {"addr_edit", "hello", "write_btn"},
                          {"data_edit", "xyz", "write_btn"},
                          {"data_edit", "-1", "write_btn"},
                          {"addr_edit", " ", "read_btn"}};
    ASSERT_TRUE(ConfigFile().SetInt("mem_addr", 0x30));
    ASSERT_TRUE(ConfigFile().SetInt("mem_data", 9));
    amp.SetMemoryWord(0, 0x11111111);
    WithMemory([&](CMemWrWnd* memory) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.field) + " \"" + c.text + "\" " + c.button);
            TypeIn(memory, "addr_edit", "0x30");
            TypeIn(memory, "data_edit", "9");
            TypeIn(memory, c.field, c.text);
            ClickIn(memory, c.button);
            EXPECT_EQ(Status(memory), GetText("${mem_not_number}"));
            EXPECT_EQ(Text(memory, c.field), c.text);  // left for correcting
            EXPECT_EQ(Key("mem_addr"), 0x30);
            EXPECT_EQ(Key("mem_data"), 9);
        }
        // A number with text behind it keeps its leading digits; the message goes.
        TypeIn(memory, "addr_edit", "0x30");
        TypeIn(memory, "data_edit", "12 words");
        ClickIn(memory, "write_btn");
        EXPECT_EQ(Status(memory), "");
    });
    EXPECT_EQ(SentPayloads(kMemSubcmd), std::vector<std::string>{"30 00 00 00 0C 00 00 00"});
    EXPECT_FALSE(MemoryReadSent()) << "a read went out";
    EXPECT_EQ(amp.Snapshot().memory.at(0), 0x11111111u);
}

TEST_F(Memory, RepliesArrivingAfterTheWindowClosedAreDropped) {
    amp.SetMemoryWord(0x40, 5);
    WithMemory([&](CMemWrWnd*) {});
    const int remembered = Key("mem_data");
    ASSERT_NE(remembered, 5);
    // The slot still names the memory window's receiver, which is gone: the reply
    // reaches nobody, so the remembered field stays as the window left it.
    EXPECT_TRUE(Controller().Link().Get_MemData(0x40));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Key("mem_data"), remembered);
    // A window opened later takes the replies again.
    WithMemory([&](CMemWrWnd* memory) {
        TypeIn(memory, "addr_edit", "0x40");
        ClickIn(memory, "read_btn");
        ASSERT_TRUE(test::WaitUntil([&] { return Text(memory, "data_edit") == "0x00000005"; }));
    });
}

}  // namespace
}  // namespace kavelo
