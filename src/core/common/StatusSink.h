#pragma once

#include <QString>

#include <cstdio>
#include <string>
#include <string_view>

// The few lines a program prints for whoever started it (where the server listens, each request
// it answered, why the app cannot show itself): not diagnostics, so never filtered. Each line is
// one write, so lines from several threads never interleave.
class StatusSink final {
public:
    enum class Stream { output, error };

    explicit StatusSink(Stream stream, std::string prefix = {});

    void write(std::string_view line) const;
    void write(const QString& line) const;

private:
    std::FILE* m_file;
    std::string m_prefix;
};
