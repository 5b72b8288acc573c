// Preloaded into every process of the sanitizer build's tests: no library is
// ever unloaded, so that a leak inside one (Mesa's driver, which its loader
// closes before the leak check runs) keeps the library's name, by which
// tests/lsan.supp suppresses it. A tiny library in place of preloading the
// driver itself, which cost every process (ffprobe and bmm included) a
// tenth of a second to load and the leak check as long again to scan.

extern "C" int dlclose(void *)
{
    return 0;
}
