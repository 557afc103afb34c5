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

#if VARNO_TEST_QT && defined(__SANITIZE_ADDRESS__)
// Qt's offscreen platform keeps its screens until exit; not ours to free.
extern "C" const char* __lsan_default_options()
{
    return "detect_leaks=0";
}
#endif
