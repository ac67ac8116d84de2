// The crash report end to end: a child process (CrashChild.cpp) registers
// three threads and faults; its report is read back line by line, the fault's
// logical address is checked against the child's ELF file, and the child's
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

struct ThreadBlock {
    std::string line, name; // the thread line as printed, the record's name
    bool current = false;
    int priority = 0;
    std::vector<std::string> data; // hex rows, then text rows
    size_t stackRows = 0;
};

struct Report {
    std::string code, faultModule;
    uint64_t fault = 0, eip = 0, esp = 0, ebp = 0, base = 0;
    unsigned section = 0, offset = 0;
    std::vector<std::string> stackWords;
    std::vector<uint64_t> callAddresses;
    bool currentFound = false;
    unsigned notFoundId = 0;
    ThreadBlock current;
    int otherCount = -1;
    std::vector<ThreadBlock> others;
};

// Reads one report, checking that every line is the one due at its place.
class ReportReader {
public:
    explicit ReportReader(const std::string& text) {
        size_t at = 0;
        for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            m_lines.push_back(text.substr(at, end - at));
        m_rest = text.substr(at);
    }

    bool Read(Report& r) {
        const std::string rule(53, '=');
        const std::string x = "([0-9A-F]{8,})";
        if (!Is("") || !Is(rule) || !Is(rule)) return false;
        if (!Match(R"(Timestamp: \d{4}-\d\d-\d\d  \d\d:\d\d:\d\d \(1\.2\.3 - build 45\))")) return false;
        if (!Match("Exception code: ([0-9A-F]{8} .*)")) return false;
        r.code = m[1];
        if (!Match("Fault address:  " + x + " ([0-9A-F]{2}):([0-9A-F]{8}) (.*)")) return false;
        r.fault = Hex(1), r.section = unsigned(Hex(2)), r.offset = unsigned(Hex(3)), r.faultModule = m[4];
        if (!Match(R"(Memory state:  \d+ / \d+ MB \(\d+ / \d+ MB\))") || !Is("") || !Is("") || !Is("Registers:"))
            return false;
        for (const char* name : {"EAX", "EBX", "ECX", "EDX", "ESI", "EDI"})
            if (!Match(std::string(name) + ":" + x)) return false;
        if (!Match("CS:EIP:[0-9A-F]{4}:" + x)) return false;
        r.eip = Hex(1);
        if (!Match("SS:ESP:[0-9A-F]{4}:" + x + "  EBP:" + x)) return false;
        r.esp = Hex(1), r.ebp = Hex(2);
        if (!Match("DS:[0-9A-F]{4}  ES:[0-9A-F]{4}  FS:[0-9A-F]{4}  GS:[0-9A-F]{4}") || !Match("Flags:[0-9A-F]{8}"))
            return false;
        if (!Is("") || !Is("Stack:") || !Words(r.esp - 64, &r.stackWords)) return false;
        if (!Is("") || !Is("Frame:") || !Words(r.ebp, nullptr)) return false;
        if (!Is("") || !Is("Current Thread:")) return false;
        if (Peek("Current thread not found! ID: 0x([0-9A-F]+)")) {
            r.notFoundId = unsigned(Hex(1));
            ++m_next;
        } else if (!(r.currentFound = Thread(r.current))) {
            return false;
        }
        if (!Stack(&r.base, &r.callAddresses)) return false;
        if (!Is("") || !Match(R"(Other threads: \((-?\d+)\))")) return false;
        r.otherCount = std::stoi(m[1]);
        while (!Peek("OK\\.")) {
            r.others.emplace_back();
            if (!Thread(r.others.back())) return false;
            std::vector<uint64_t> rows;
            if (Peek("") && !Stack(nullptr, &rows)) return false;
            r.others.back().stackRows = rows.size();
        }
        return Is("OK.") && Is("");
    }

    bool AtEnd() const { return m_next == m_lines.size() && m_rest.empty(); }

private:
    uint64_t Hex(int group) const { return std::stoull(m[group], nullptr, 16); }
    bool Peek(const std::string& pattern) {
        return m_next < m_lines.size() && std::regex_match(m_lines[m_next], m, std::regex(pattern));
    }
    bool Fail(const std::string& what) {
        ADD_FAILURE() << "expected " << what << " at report line " << m_next + 1 << ": "
                      << (m_next < m_lines.size() ? m_lines[m_next] : "<end>");
        return false;
    }
    bool Match(const std::string& pattern) { return Peek(pattern) ? (++m_next, true) : Fail("/" + pattern + "/"); }
    bool Is(const std::string& line) {
        if (m_next >= m_lines.size() || m_lines[m_next] != line) return Fail('"' + line + '"');
        return ++m_next, true;
    }

    // Four rows of eight 32-bit words from `from`.
    bool Words(uint64_t from, std::vector<std::string>* words) {
        for (int row = 0; row < 4; ++row) {
            if (!Match("([0-9A-F]{8,}): ((?:[0-9A-F]{8} |-------- ){8})")) return false;
            if (Hex(1) != from + 32 * row) return Fail("the row address");
            if (words) words->push_back(m[2]);
        }
        return true;
    }

    bool Thread(ThreadBlock& t) {
        if (!Match(R"(([* ]) ID: 0x([0-9A-F]+)  S: 0 +  P: (-?\d+) *  \[(.*)\]  .*)")) return false;
        t.line = m[0], t.current = m[1] == "*", t.priority = std::stoi(m[3]), t.name = m[4];
        if (!Peek(R"(Data size: (\d+))")) return true;
        ++m_next;
        for (int rows = 2 * ((std::stoi(m[1]) + 31) / 32); rows > 0 && m_next < m_lines.size(); --rows)
            t.data.push_back(m_lines[m_next++]);
        return true;
    }

    bool Stack(uint64_t* base, std::vector<uint64_t>* addresses) {
        const std::string heading = "Base      Address   Frame     Logical addr   Module" + std::string(44, ' ');
        if (!Is("") || !Is("Call stack:") || !Is(heading)) return false;
        while (Peek("([0-9A-F]{8,})  ([0-9A-F]{8,})  [0-9A-F]{8,}  [0-9A-F]{4}:[0-9A-F]{8}  .{50,}  ")) {
            if (base && addresses->empty()) *base = Hex(1);
            addresses->push_back(Hex(2));
            ++m_next;
        }
        return addresses->empty() ? Fail("call stack rows") : Is("OK.") && Is("");
    }

    std::vector<std::string> m_lines;
    std::string m_rest;
    size_t m_next = 0;
    std::smatch m;
};

// Where (base, section, offset) points by the ELF file's own program headers.
uint64_t Resolve(const std::string& path, uint64_t base, unsigned section, unsigned offset) {
    std::string bytes = zep3test::readFile(path);
    Elf64_Ehdr header;
    if (bytes.size() < sizeof header) return 0;
    std::memcpy(&header, bytes.data(), sizeof header);
    std::vector<Elf64_Phdr> loads;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        std::memcpy(&ph, bytes.data() + header.e_phoff + i * sizeof ph, sizeof ph);
        if (ph.p_type == PT_LOAD) loads.push_back(ph);
    }
    if (section < 1 || section > loads.size()) return 0;
    return base + loads[section - 1].p_vaddr - (loads[0].p_vaddr & ~uint64_t(0xFFF)) + offset;
}

class CrashReport : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(ZEP3TEST_SANITIZED)
        GTEST_SKIP() << "the sanitizer runtime takes SIGSEGV/SIGFPE and the alternate signal stacks for itself, "
                        "and UBSan stops the division first, so a child would test its handlers instead of ours";
#endif
    }

    // Runs a copy of the child (its report goes beside it, as crashchild.RPT),
    // expects the earlier handler to end it, and reads its one report.
    void Crash(const std::string& mode, const std::string& marker) {
        const std::string path = dir.file("crashchild.bin"), markerPath = dir.file("marker");
        std::filesystem::copy_file(ZEP3TEST_CRASHCHILD, path);
        const char* argv[] = {path.c_str(), mode.c_str(), markerPath.c_str(), nullptr};
        pid_t pid;
        ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        int status = -1;
        for (int i = 0; i < 6000 && waitpid(pid, &status, WNOHANG) != pid; ++i) usleep(10000); // a minute at most
        if (status == -1) kill(pid, SIGKILL), waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "status " << status;
        EXPECT_EQ(zep3test::readFile(markerPath), marker) << "the earlier handler gets the fault after the report";

        ReportReader reader(zep3test::readFile(dir.file("crashchild.RPT")));
        ASSERT_TRUE(reader.Read(report));
        EXPECT_TRUE(reader.AtEnd()) << "one report only";
        // The faulting thread's stack starts at the fault, which lies in the child.
        EXPECT_EQ(report.fault, report.eip);
        EXPECT_EQ(report.callAddresses[0], report.eip);
        EXPECT_EQ(report.faultModule, path);
        EXPECT_EQ(Resolve(path, report.base, report.section, report.offset), report.fault);
    }

    const ThreadBlock* Named(const std::string& name) const {
        for (const ThreadBlock& t : report.others)
            if (t.name == "CrashChild:" + name) return &t;
        return nullptr;
    }

    // The other registered threads were suspended (count 0), are listed with
    // their stacks (their saved contexts), and show their state data.
    void ExpectOthers(const std::vector<std::string>& names) {
        EXPECT_EQ(report.otherCount, 2) << "registered threads minus one, whoever faulted";
        ASSERT_EQ(report.others.size(), names.size());
        for (const std::string& name : names) {
            ASSERT_TRUE(Named(name)) << name;
            EXPECT_FALSE(Named(name)->current);
            EXPECT_GE(Named(name)->stackRows, 1u) << name;
        }
        const ThreadBlock* w1 = Named("Worker1");
        ASSERT_EQ(w1->data.size(), 64u) << "2000 bytes of state data keep 1024: 32 hex and 32 text rows";
        EXPECT_EQ(w1->data[0], "0000: 00010203 04050607 08090A0B 0C0D0E0F 10111213 14151617 18191A1B 1C1D1E1F ");
        EXPECT_EQ(w1->data[31], "03E0: E0E1E2E3 E4E5E6E7 E8E9EAEB ECEDEEEF F0F1F2F3 F4F5F6F7 F8F9FAFB FCFDFEFF ");
        EXPECT_EQ(w1->data[34], "0040:  @ A B C  D E F G  H I J K  L M N O  P Q R S  T U V W  X Y Z [  \\ ] ^ _ ");
        EXPECT_EQ(w1->data[63].substr(0, 24), "03E0:  . . . .  . . . . ");
    }

    zep3test::TempDir dir;
    Report report;
};

} // namespace

TEST_F(CrashReport, NullWriteOnRegisteredMainThreadThenASecondFault) {
    Crash("main-null", "previous 11\nprevious 11\n"); // the second fault went only to the earlier handler
    EXPECT_EQ(report.code, "C0000005 ACCESS_VIOLATION");
    ASSERT_TRUE(report.currentFound);
    EXPECT_EQ(report.current.line.substr(0, 2), "* ");
    EXPECT_EQ(report.current.line.substr(report.current.line.find("S:")), "S: 0   P: 0   [CrashChild:Main]  waiting");
    EXPECT_EQ(report.current.data, (std::vector<std::string>{"0000: 4F4B007F C8", "0000:  O K . .  ."}));
    EXPECT_GE(report.callAddresses.size(), 3u) << "the fault, its caller and main";
    ExpectOthers({"Worker1", "Worker2"});
    EXPECT_EQ(Named("Worker2")->priority, -1);
}

TEST_F(CrashReport, DivisionByZeroOnWorker) {
    Crash("worker-divzero", "previous 08\n");
    EXPECT_EQ(report.code, "C0000094 INT_DIVIDE_BY_ZERO");
    EXPECT_EQ(report.current.name, "CrashChild:Worker2");
    EXPECT_EQ(report.current.data, (std::vector<std::string>{"0000: 576F726B 657232", "0000:  W o r k  e r 2"}));
    ExpectOthers({"Main", "Worker1"});
}

TEST_F(CrashReport, StackOverflowOnWorker) {
    Crash("worker-overflow", "previous 11\n");
    EXPECT_EQ(report.code, "C00000FD STACK_OVERFLOW");
    EXPECT_EQ(report.current.name, "CrashChild:Worker2");
    EXPECT_GT(report.callAddresses.size(), 100u) << "the walk follows the whole recursion";
    EXPECT_NE(report.stackWords[0].find("--------"), std::string::npos) << "below the stack lies its guard";
    ExpectOthers({"Main", "Worker1"});
}

TEST_F(CrashReport, FaultOnUnregisteredThread) {
    Crash("unregistered-null", "previous 11\n");
    EXPECT_FALSE(report.currentFound);
    EXPECT_NE(report.notFoundId, 0u);
    ExpectOthers({"Main", "Worker1", "Worker2"});
}
