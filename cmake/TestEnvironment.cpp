// Linked into every test program: the environment its tests expect, set before main so
// that the programs also work when started by hand. Values already set are kept.

#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment()
    {
        setenv("VARNO_BIN_DIR", VARNO_TEST_BIN_DIR, 0);
#if VARNO_TEST_QT
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    }
} testEnvironment;

} // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNO_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VARNO_TEST_ASAN 1
#endif

#if VARNO_TEST_QT && defined(VARNO_TEST_ASAN)
// Qt's offscreen platform keeps its screens until exit; not ours to free.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "detect_leaks=0";
}
#endif
