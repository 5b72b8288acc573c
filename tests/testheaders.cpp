// Compiled only for the tests' precompiled headers (tests/CMakeLists.txt).
