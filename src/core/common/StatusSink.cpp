#include "core/common/StatusSink.h"

StatusSink::StatusSink(Stream stream, std::string prefix)
    : m_file(stream == Stream::output ? stdout : stderr)
    , m_prefix(std::move(prefix)) {}

void StatusSink::write(std::string_view line) const {
    std::string whole;
    whole.reserve(m_prefix.size() + line.size() + 1);
    whole.append(m_prefix).append(line).push_back('\n');
    // One call per line: stdio locks the stream per call.
    std::fputs(whole.c_str(), m_file);
    std::fflush(m_file);
}

void StatusSink::write(const QString& line) const {
    const QByteArray bytes = line.toLocal8Bit();
    write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
