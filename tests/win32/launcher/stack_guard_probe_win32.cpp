// A program with the launcher's stack canaries, for the stack guard tests of
// launcher_win32_test, which starts it:
//   stack-guard-probe.exe guard <record file>
//     writes the guard as a constructor saw it before wmain and as wmain sees
//     it, in hexadecimal, and exits 0;
//   stack-guard-probe.exe overrun <bytes> <record file>
//     installs a vectored exception handler, an unhandled-exception filter and
//     an atexit function, each of which appends its name to the record file,
//     writes <bytes> bytes past the end of a protected local buffer and exits 0.
// Exit code 2 for bad arguments.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

extern "C" std::uintptr_t __stack_chk_guard;

namespace {

const wchar_t* record_file = nullptr;

void append_record(const char* text)
{
    if (FILE* file = _wfopen(record_file, L"ab")) {
        std::fputs(text, file);
        std::fclose(file);
    }
}

std::uintptr_t guard_before_wmain = 0;

// Its local array makes it a protected function, and its priority puts it among
// the first constructors: had the guard changed while it ran, its own check
// would end the program.
__attribute__((constructor(101))) void record_guard_before_wmain()
{
    char scratch[16];
    std::snprintf(scratch, sizeof scratch, "%s", "constructor");
    guard_before_wmain = __stack_chk_guard;
}

__attribute__((noinline)) void overrun(std::size_t bytes_past_the_end)
{
    char buffer[16];
    // Through a volatile pointer, so the compiler keeps every write.
    volatile char* const bytes = buffer;
    for (std::size_t i = 0; i < sizeof buffer + bytes_past_the_end; ++i) bytes[i] = 'x';
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"guard") == 0) {
        record_file = argv[2];
        char line[40];
        std::snprintf(line, sizeof line, "%016llx %016llx\n", static_cast<unsigned long long>(guard_before_wmain),
                      static_cast<unsigned long long>(__stack_chk_guard));
        append_record(line);
        return 0;
    }
    if (argc != 4 || std::wcscmp(argv[1], L"overrun") != 0) return 2;
    record_file = argv[3];
    AddVectoredExceptionHandler(1, [](EXCEPTION_POINTERS*) -> LONG {
        append_record("vectored handler\n");
        return EXCEPTION_CONTINUE_SEARCH;
    });
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG {
        append_record("unhandled-exception filter\n");
        return EXCEPTION_CONTINUE_SEARCH;
    });
    std::atexit([] { append_record("atexit\n"); });
    overrun(std::wcstoul(argv[2], nullptr, 10));
    return 0;
}
