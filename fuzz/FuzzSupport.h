#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// What every fuzz target shares. A target is one function,
// LLVMFuzzerTestOneInput, run by libFuzzer in the fuzz build and by the
// replay program (ReplayMain.cpp) over the seed corpus in the test build.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

// A failed check is a crash to the fuzzer: the message, then abort().
#define FUZZ_CHECK(condition, message) ((condition) ? void(0) : FuzzFailed(#condition, message, __FILE__, __LINE__))
[[noreturn]] void FuzzFailed(const char *condition, const QString &message, const char *file, int line);

// A QCoreApplication for targets that need Qt's event loop or settings.
void EnsureApplication();

// A folder of the target's own for the whole run, removed at exit.
QString FuzzFolder();

// The bytes of a file (empty when it cannot be read); writing replaces it.
QByteArray FileBytes(const QString &path);
void WriteFileBytes(const QString &path, const QByteArray &bytes);

// The input split in two: the first byte (when there is one) gives the
// length of the first part modulo what follows, the rest is the second.
struct TTwoParts {
    QByteArray First;
    QByteArray Second;
};
TTwoParts SplitInput(const std::uint8_t *data, std::size_t size);
