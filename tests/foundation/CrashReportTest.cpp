// The crash report end to end: a child process (CrashChild.cpp) registers
// three threads and faults; its report is read back line by line, its
// addresses are checked against the child's own ELF headers, and the child's
// earlier handler must have run after the report.
#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <filesystem>
#include <regex>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using zep3test::TempDir;

struct Row {
    uint64_t base = 0, address = 0, frame = 0;
    unsigned section = 0, offset = 0;
    std::string module;
};

struct ThreadBlock {
    std::string line; // the thread line as printed
    bool current = false;
    unsigned id = 0;
    int suspend = 0, priority = 0;
    std::string name, state;
    int dataSize = 0;
    std::vector<std::string> hexRows, textRows;
    std::vector<Row> stack;
};

struct Report {
    std::string code;
    uint64_t faultAddress = 0;
    unsigned faultSection = 0, faultOffset = 0;
    std::string faultModule;
    uint64_t eip = 0, esp = 0, ebp = 0;
    std::vector<std::string> stackRows, frameRows;
    bool currentFound = false;
    unsigned notFoundId = 0;
    ThreadBlock current;
    std::vector<Row> callStack;
    int otherCount = -1;
    std::vector<ThreadBlock> others;
};

// Reads a report and checks its layout as it goes: every line must be the
// one expected at that place. Failures name the line.
class ReportReader {
public:
    explicit ReportReader(const std::string& text) {
        size_t at = 0;
        for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            m_lines.push_back(text.substr(at, end - at));
        m_trailing = text.substr(at);
    }

    bool Read(Report& r) {
        const std::string rule(53, '=');
        if (!Exact("") || !Exact(rule) || !Exact(rule)) return false;
        std::smatch m;
        if (!Match(R"(Timestamp: \d{4}-\d\d-\d\d  \d\d:\d\d:\d\d \(1\.2\.3 - build 45\))", m)) return false;
        if (!Match(R"(Exception code: ([0-9A-F]{8}) (.*))", m)) return false;
        r.code = m[1].str() + " " + m[2].str();
        if (!Match(R"(Fault address:  ([0-9A-F]{8,}) ([0-9A-F]{2}):([0-9A-F]{8}) (.*))", m)) return false;
        r.faultAddress = Hex(m[1]), r.faultSection = unsigned(Hex(m[2])), r.faultOffset = unsigned(Hex(m[3]));
        r.faultModule = m[4];
        if (!Match(R"(Memory state:  \d+ / \d+ MB \(\d+ / \d+ MB\))", m)) return false;
        if (!Exact("") || !Exact("") || !Exact("Registers:")) return false;
        for (const char* name : {"EAX", "EBX", "ECX", "EDX", "ESI", "EDI"})
            if (!Match(std::string(name) + ":[0-9A-F]{8,}", m)) return false;
        if (!Match("CS:EIP:[0-9A-F]{4}:([0-9A-F]{8,})", m)) return false;
        r.eip = Hex(m[1]);
        if (!Match("SS:ESP:[0-9A-F]{4}:([0-9A-F]{8,})  EBP:([0-9A-F]{8,})", m)) return false;
        r.esp = Hex(m[1]), r.ebp = Hex(m[2]);
        if (!Match("DS:[0-9A-F]{4}  ES:[0-9A-F]{4}  FS:[0-9A-F]{4}  GS:[0-9A-F]{4}", m)) return false;
        if (!Match("Flags:[0-9A-F]{8}", m)) return false;
        if (!Exact("") || !Exact("Stack:") || !Words(r.stackRows, r.esp - 64)) return false;
        if (!Exact("") || !Exact("Frame:") || !Words(r.frameRows, r.ebp)) return false;
        if (!Exact("") || !Exact("Current Thread:")) return false;
        if (Peek(m, R"(Current thread not found! ID: 0x([0-9A-F]+))")) {
            r.notFoundId = unsigned(Hex(m[1]));
            ++m_next;
        } else {
            r.currentFound = true;
            if (!Thread(r.current)) return false;
        }
        if (!Stack(r.callStack)) return false;
        if (!Exact("") || !Match(R"(Other threads: \((-?\d+)\))", m)) return false;
        r.otherCount = std::stoi(m[1]);
        while (!Peek(m, "OK\\.")) {
            r.others.emplace_back();
            if (!Thread(r.others.back())) return false;
            if (Peek(m, "") && !Stack(r.others.back().stack)) return false;
        }
        return Exact("OK.") && Exact("");
    }

    bool AtEnd() const { return m_next == m_lines.size() && m_trailing.empty(); }
    std::string Where() const {
        return "report line " + std::to_string(m_next + 1) + ": \"" +
               (m_next < m_lines.size() ? m_lines[m_next] : std::string("<end>")) + "\"";
    }

private:
    static uint64_t Hex(const std::string& text) { return std::stoull(text, nullptr, 16); }

    bool Peek(std::smatch& m, const std::string& pattern) {
        return m_next < m_lines.size() && std::regex_match(m_lines[m_next], m, std::regex(pattern));
    }
    bool Match(const std::string& pattern, std::smatch& m) {
        if (!Peek(m, pattern)) return Fail("expected /" + pattern + "/");
        ++m_next;
        return true;
    }
    bool Exact(const std::string& line) {
        if (m_next >= m_lines.size() || m_lines[m_next] != line) return Fail("expected \"" + line + "\"");
        ++m_next;
        return true;
    }
    bool Fail(const std::string& what) {
        ADD_FAILURE() << what << " at " << Where();
        return false;
    }

    // Four rows of eight 32-bit words from `from`.
    bool Words(std::vector<std::string>& rows, uint64_t from) {
        std::smatch m;
        for (int row = 0; row < 4; ++row) {
            if (!Match("([0-9A-F]{8,}): ((?:[0-9A-F]{8} |-------- ){8})", m)) return false;
            if (Hex(m[1]) != from + 32 * row) return Fail("row address");
            rows.push_back(m[2]);
        }
        return true;
    }

    bool Thread(ThreadBlock& t) {
        std::smatch m;
        if (!Match(R"(([* ]) ID: 0x([0-9A-F]+)  S: (-?\d+) *  P: (-?\d+) *  \[(.*)\]  (.*))", m)) return false;
        t.line = m[0];
        t.current = m[1] == "*", t.id = unsigned(Hex(m[2])), t.suspend = std::stoi(m[3]);
        t.priority = std::stoi(m[4]), t.name = m[5], t.state = m[6];
        if (!Peek(m, R"(Data size: (\d+))")) return true;
        ++m_next;
        t.dataSize = std::stoi(m[1]);
        const int rows = (t.dataSize + 31) / 32;
        for (int i = 0; i < 2 * rows; ++i) {
            if (m_next >= m_lines.size()) return Fail("data rows");
            (i < rows ? t.hexRows : t.textRows).push_back(m_lines[m_next++]);
        }
        return true;
    }

    bool Stack(std::vector<Row>& rows) {
        std::smatch m;
        const std::string heading = "Base      Address   Frame     Logical addr   Module" + std::string(44, ' ');
        if (!Exact("") || !Exact("Call stack:") || !Exact(heading)) return false;
        while (Peek(m, "([0-9A-F]{8,})  ([0-9A-F]{8,})  ([0-9A-F]{8,})  ([0-9A-F]{4}):([0-9A-F]{8})  (.{50,})  ")) {
            ++m_next;
            Row row;
            row.base = Hex(m[1]), row.address = Hex(m[2]), row.frame = Hex(m[3]);
            row.section = unsigned(Hex(m[4])), row.offset = unsigned(Hex(m[5]));
            row.module = m[6].str().substr(0, m[6].str().find_last_not_of(' ') + 1);
            rows.push_back(row);
        }
        if (rows.empty()) return Fail("no call stack rows");
        return Exact("OK.") && Exact("");
    }

    std::vector<std::string> m_lines;
    std::string m_trailing;
    size_t m_next = 0;
};

// The loadable segments of an ELF file, read from the file itself.
std::vector<Elf64_Phdr> LoadSegments(const std::string& path) {
    std::string bytes = zep3test::readFile(path);
    std::vector<Elf64_Phdr> segments;
    Elf64_Ehdr header;
    if (bytes.size() < sizeof header) return segments;
    std::memcpy(&header, bytes.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        std::memcpy(&ph, bytes.data() + header.e_phoff + i * sizeof ph, sizeof ph);
        if (ph.p_type == PT_LOAD) segments.push_back(ph);
    }
    return segments;
}

// Where a (base, section, offset) triple points, by the file's headers.
uint64_t Resolve(const std::vector<Elf64_Phdr>& segments, uint64_t base, unsigned section, unsigned offset) {
    if (section < 1 || section > segments.size()) return 0;
    return base + (segments[section - 1].p_vaddr - (segments[0].p_vaddr & ~uint64_t(0xFFF))) + offset;
}

struct ChildRun {
    int status = -1;
    std::string report, marker, path;
};

ChildRun RunChild(const TempDir& dir, const std::string& mode) {
    ChildRun run;
    // A copy per run: the report goes beside the executable, as crashchild.RPT.
    run.path = dir.file("crashchild.bin");
    std::filesystem::copy_file(ZEP3TEST_CRASHCHILD, run.path);
    std::string marker = dir.file("marker");
    const char* argv[] = {run.path.c_str(), mode.c_str(), marker.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, run.path.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return run;
    for (int i = 0; i < 6000; ++i) { // a minute at most
        if (waitpid(pid, &run.status, WNOHANG) == pid) break;
        usleep(10000);
        if (i == 5999) {
            kill(pid, SIGKILL);
            waitpid(pid, &run.status, 0);
            ADD_FAILURE() << "the child hung";
        }
    }
    run.report = zep3test::readFile(dir.file("crashchild.RPT"));
    run.marker = zep3test::readFile(marker);
    return run;
}

#if defined(ZEP3TEST_SANITIZED)
#define SKIP_UNDER_SANITIZERS()                                                                                      \
    GTEST_SKIP() << "the sanitizer runtime takes SIGSEGV/SIGFPE and the alternate signal stacks for itself, and "    \
                    "UBSan stops the division first, so a child would test its handlers instead of ours"
#else
#define SKIP_UNDER_SANITIZERS()
#endif

class CrashReport : public ::testing::Test {
protected:
    // Runs the child, expects its earlier handler to end it, and reads its one report.
    void Crash(const std::string& mode, const char* marker) {
        run = RunChild(dir, mode);
        ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 3) << "status " << run.status;
        EXPECT_EQ(run.marker, marker) << "the earlier handler gets the fault after the report";
        ReportReader reader(run.report);
        ASSERT_TRUE(reader.Read(report));
        EXPECT_TRUE(reader.AtEnd()) << "a single report: " << reader.Where();
        segments = LoadSegments(run.path);
        ASSERT_FALSE(segments.empty());
    }

    // A faulting thread's stack: its first row is the fault itself, and every
    // row in the child resolves through the child's own segments.
    void ExpectFaultRows() {
        ASSERT_FALSE(report.callStack.empty());
        const Row& first = report.callStack[0];
        EXPECT_EQ(first.address, report.eip);
        EXPECT_EQ(first.frame, report.ebp);
        EXPECT_EQ(report.faultAddress, report.eip);
        EXPECT_EQ(report.faultModule, run.path);
        EXPECT_EQ(first.module, run.path);
        EXPECT_EQ(Resolve(segments, first.base, report.faultSection, report.faultOffset), report.faultAddress);
        for (const Row& row : report.callStack)
            if (row.module == run.path) {
                EXPECT_EQ(Resolve(segments, row.base, row.section, row.offset), row.address);
            }
        if (report.callStack.size() > 1) {
            // The frame dump starts with the saved frame pointer: the next row's frame.
            uint64_t saved = std::stoull(report.frameRows[0].substr(9, 8), nullptr, 16) << 32 |
                             std::stoull(report.frameRows[0].substr(0, 8), nullptr, 16);
            EXPECT_EQ(saved, report.callStack[1].frame);
        }
    }

    const ThreadBlock* Named(const std::string& name) {
        for (const ThreadBlock& t : report.others)
            if (t.name == "CrashChild:" + name) return &t;
        return nullptr;
    }

    // The other threads were suspended (count 0 before), are listed with their
    // stacks, and show their state data.
    void ExpectOthers(const std::vector<std::string>& names) {
        EXPECT_EQ(report.otherCount, 2) << "registered threads minus one";
        ASSERT_EQ(report.others.size(), names.size());
        for (const std::string& name : names) {
            const ThreadBlock* t = Named(name);
            ASSERT_TRUE(t) << name;
            EXPECT_FALSE(t->current);
            EXPECT_EQ(t->suspend, 0) << t->line;
            EXPECT_FALSE(t->stack.empty()) << name << " was parked, so its call stack is known";
            if (!t->stack.empty()) {
                EXPECT_FALSE(t->stack[0].module.empty());
            }
        }
        ExpectData();
    }

    void ExpectData() {
        const ThreadBlock* worker1 = Named("Worker1");
        if (!worker1) return;
        EXPECT_EQ(worker1->state, "idle");
        EXPECT_EQ(worker1->dataSize, 1024) << "2000 bytes of state data keep 1024";
        ASSERT_EQ(worker1->hexRows.size(), 32u);
        ASSERT_EQ(worker1->textRows.size(), 32u);
        EXPECT_EQ(worker1->hexRows[0], "0000: 00010203 04050607 08090A0B 0C0D0E0F 10111213 14151617 18191A1B 1C1D1E1F ");
        EXPECT_EQ(worker1->hexRows[31], "03E0: E0E1E2E3 E4E5E6E7 E8E9EAEB ECEDEEEF F0F1F2F3 F4F5F6F7 F8F9FAFB FCFDFEFF ");
        EXPECT_EQ(worker1->textRows[2], "0040:  @ A B C  D E F G  H I J K  L M N O  P Q R S  T U V W  X Y Z [  \\ ] ^ _ ");
        EXPECT_EQ(worker1->textRows[31], "03E0: " + std::string(" . . . . ") + " . . . . " + " . . . . " +
                                             " . . . . " + " . . . . " + " . . . . " + " . . . . " + " . . . . ");
    }

    TempDir dir;
    ChildRun run;
    Report report;
    std::vector<Elf64_Phdr> segments;
};

} // namespace

TEST_F(CrashReport, NullWriteOnRegisteredMainThread) {
    SKIP_UNDER_SANITIZERS();
    Crash("main-null", "previous 11\nprevious 11\n"); // the second fault reached only the earlier handler
    EXPECT_EQ(report.code, "C0000005 ACCESS_VIOLATION");
    ASSERT_TRUE(report.currentFound);
    EXPECT_TRUE(report.current.current);
    EXPECT_EQ(report.current.name, "CrashChild:Main");
    EXPECT_EQ(report.current.line.substr(report.current.line.find("S:")), "S: 0   P: 0   [CrashChild:Main]  waiting");
    EXPECT_EQ(report.current.hexRows, std::vector<std::string>{"0000: 4F4B007F C8"});
    EXPECT_EQ(report.current.textRows, std::vector<std::string>{"0000:  O K . .  ."});
    ExpectFaultRows();
    EXPECT_GE(report.callStack.size(), 3u) << "fault, its caller and main";
    ExpectOthers({"Worker1", "Worker2"});
    EXPECT_EQ(Named("Worker2")->priority, -1);
    EXPECT_EQ(Named("Worker2")->hexRows, std::vector<std::string>{"0000: 576F726B 657232"});
}

TEST_F(CrashReport, DivisionByZeroOnWorker) {
    SKIP_UNDER_SANITIZERS();
    Crash("worker-divzero", "previous 08\n");
    EXPECT_EQ(report.code, "C0000094 INT_DIVIDE_BY_ZERO");
    ASSERT_TRUE(report.currentFound);
    EXPECT_EQ(report.current.name, "CrashChild:Worker2");
    EXPECT_EQ(report.current.priority, -1);
    EXPECT_EQ(report.current.state, "busy");
    ExpectFaultRows();
    ExpectOthers({"Main", "Worker1"});
}

TEST_F(CrashReport, StackOverflowOnWorker) {
    SKIP_UNDER_SANITIZERS();
    Crash("worker-overflow", "previous 11\n");
    EXPECT_EQ(report.code, "C00000FD STACK_OVERFLOW");
    ASSERT_TRUE(report.currentFound);
    EXPECT_EQ(report.current.name, "CrashChild:Worker2");
    ExpectFaultRows();
    EXPECT_GT(report.callStack.size(), 100u) << "the walk follows the whole recursion";
    bool unreadable = false;
    for (const std::string& row : report.stackRows) unreadable |= row.find("--------") != std::string::npos;
    EXPECT_TRUE(unreadable) << "the words below the exhausted stack lie in its guard";
    ExpectOthers({"Main", "Worker1"});
}

TEST_F(CrashReport, FaultOnUnregisteredThread) {
    SKIP_UNDER_SANITIZERS();
    Crash("unregistered-null", "previous 11\n");
    EXPECT_EQ(report.code, "C0000005 ACCESS_VIOLATION");
    EXPECT_FALSE(report.currentFound);
    EXPECT_NE(report.notFoundId, 0u);
    ExpectFaultRows();
    EXPECT_EQ(report.otherCount, 2) << "registered threads minus one, as the heading always counts";
    ASSERT_EQ(report.others.size(), 3u);
    for (const ThreadBlock& t : report.others) EXPECT_NE(t.id, report.notFoundId);
    ExpectData();
}
