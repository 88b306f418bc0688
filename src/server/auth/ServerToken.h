#pragma once

#include "core/common/Result.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// The bearer token every route but health requires. It comes from the configuration or from the
// token file that the app reads too: one line of text, 43 characters of unpadded base64url,
// followed by a newline, mode 0600. The file is created on first start and kept afterwards.
class ServerToken final {
public:
    enum class Origin { configured, file, generated };

    // A token as written by a person: 1 to 1024 visible ASCII characters, so that it can travel in
    // a header unchanged.
    static std::optional<ServerToken> fromText(std::string_view text, Origin origin = Origin::configured);

    // Reads the token file without changing anything: nothing when it is missing or blank.
    static Result<std::optional<ServerToken>> read(const QString& path);

    // Reads the token file, or creates it with a fresh random token when it is missing or blank.
    // A file holding something that is not a token is left alone and reported.
    static Result<ServerToken> loadOrCreate(const QString& path);

    // Whether an Authorization header value is "Bearer " followed by this token. The comparison
    // takes the same time whatever the candidate holds.
    bool acceptsAuthorization(std::string_view headerValue) const;

    const std::string& text() const { return m_text; }
    Origin origin() const { return m_origin; }

private:
    ServerToken(std::string text, Origin origin)
        : m_text(std::move(text))
        , m_origin(origin) {}

    std::string m_text;
    Origin m_origin;
};
