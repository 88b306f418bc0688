#pragma once

#include <QByteArray>

// The version feed is signed with Ed25519 by the publisher. The signature travels beside the feed:
// the feed URL with ".sig" appended answers the 64-byte signature over the exact bytes of the feed,
// Base64-encoded (surrounding white space ignored). The public key is built in (CMake cache variable
// ORLAVO_UPDATE_PUBLIC_KEY: the raw 32-byte key, Base64-encoded); scripts/sign-update makes both.
namespace UpdateSignature {

inline constexpr qsizetype publicKeySize = 32;
inline constexpr qsizetype signatureSize = 64;

// The key compiled into this build, decoded; empty when the build has none or it is malformed.
QByteArray compiledPublicKey();

// Decodes a Base64 key; empty unless it is exactly 32 bytes.
QByteArray decodePublicKey(const QByteArray& base64);

// `signatureText` is the Base64 text of the signature file. False for a malformed key or signature
// as much as for one that does not match.
bool verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signatureText);

} // namespace UpdateSignature
