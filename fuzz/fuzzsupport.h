#pragma once
// Helpers shared by the fuzz targets.
#include "recordingports.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// Takes fixed-size values off the front of the input, then hands out the rest.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::int64_t TakeInt64();
    std::int32_t TakeInt32();
    std::uint8_t TakeByte();
    QByteArray Rest() const;
    // The rest as text, one byte per character, so the fuzzer edits characters directly.
    QString RestAsLatin1() const;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// A fresh empty folder for one run, removed with everything in it when the object goes.
class FuzzFolder
{
public:
    FuzzFolder();
    ~FuzzFolder();
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;
    const QString& Path() const { return m_path; }

private:
    QString m_path;
};

// Writes bytes to path (replacing it); aborts the run when that fails.
void PutBytes(const QString& path, const QByteArray& bytes);
// The bytes of path; sets exists to false when there is no such file.
QByteArray GetBytes(const QString& path, bool& exists);

// Ends the run as a crash with the reason, so libFuzzer keeps the input.
[[noreturn]] void FuzzFail(const char* what);
#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition))                                                                           \
            FuzzFail(#condition);                                                                   \
    } while (false)
