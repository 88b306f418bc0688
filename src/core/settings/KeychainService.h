#pragma once

#include <QString>

#include <optional>

class KeyValueStore;

// The two service credentials, each kept Base64-encoded in the user defaults under
// "secret.Kestrov.<account>". The defaults file is readable by its owner only.
class KeychainService final {
public:
    static inline const QString serviceName = QStringLiteral("Kestrov");
    static inline const QString backendTokenAccount = QStringLiteral("backend-token");
    static inline const QString apiKeyAccount = QStringLiteral("brevant-api-key");

    explicit KeychainService(KeyValueStore& defaults);

    static QString keyFor(const QString& account);

    // Absent when nothing is stored, or when what is stored is not Base64 of UTF-8 text.
    std::optional<QString> read(const QString& account) const;
    void write(const QString& account, const QString& secret);
    void remove(const QString& account);

private:
    KeyValueStore& m_defaults;
};
