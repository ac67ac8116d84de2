#include <zep3/foundation/detail/CrashSupport.h>

#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace zep3::detail {
namespace {

// Room for the report: formatting, the register block and the walks.
const size_t kAltStackSize = 128 * 1024;

// Stacks of ended threads, kept for the next ones: mapping and unmapping one
// for every short-lived thread (a web connection, say) costs more than the
// thread's work, the unmapping an interrupt on every core. Unused pages of a
// kept stack take no memory.
class SpareStacks {
public:
    static SpareStacks& Get() {
        static SpareStacks* spares = new SpareStacks; // threads may end after static destruction
        return *spares;
    }
    char* Take() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_stacks.empty()) return nullptr;
        char* memory = m_stacks.back();
        m_stacks.pop_back();
        return memory;
    }
    // False when enough are kept: the caller unmaps it.
    bool Keep(char* memory) {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_stacks.size() >= kKept) return false;
        m_stacks.push_back(memory);
        return true;
    }

private:
    static const size_t kKept = 64;
    std::mutex m_lock;
    std::vector<char*> m_stacks;
};

size_t MappedSize() { return kAltStackSize + static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

struct AltStack {
    char* memory = nullptr; // a guard page, then the stack
    ~AltStack() {
        if (!memory) return;
        stack_t current;
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory + MappedSize() - kAltStackSize) {
            stack_t off = {};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        }
        if (!SpareStacks::Get().Keep(memory)) munmap(memory, MappedSize());
    }
};

thread_local AltStack tlsAltStack;

char* MapStack() {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* memory =
        mmap(nullptr, MappedSize(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    mprotect(memory, page, PROT_NONE);
    return static_cast<char*>(memory);
}

} // namespace

void EnsureAltSignalStack() {
    if (tlsAltStack.memory) return;
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return; // one is set already
    char* memory = SpareStacks::Get().Take();
    if (!memory) memory = MapStack();
    if (!memory) return;
    stack_t stack = {};
    stack.ss_sp = memory + MappedSize() - kAltStackSize;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, MappedSize());
        return;
    }
    tlsAltStack.memory = memory;
}

unsigned int RawThreadId() { return static_cast<unsigned int>(syscall(SYS_gettid)); }

} // namespace zep3::detail
