// The maker's side of signed releases: an ECDSA P-256 private key read from a PEM file, its
// public key in the form the updater's build takes, and signatures in the raw r||s form the
// updater's platform verifies. Built natively only, on OpenSSL's libcrypto.
#pragma once

#include "publish.h"

#include <memory>
#include <string>

namespace tidewell::signature {

class Cle;

struct LibereCle {
    void operator()(Cle* c) const;
};
using CleSignature = std::unique_ptr<Cle, LibereCle>;

// The private key in `fichierpem`; nothing, with `erreur` set, for a file that is not a PEM
// private key on the P-256 curve.
CleSignature chargecle(const std::string& fichierpem, std::string& erreur);

// The public key as 128 lower-case hexadecimal digits: X then Y, 32 bytes each.
std::string clepublique(const Cle& cle);

// The signature of the SHA-256 of `octets`, as r||s (32 bytes each) in 128 lower-case
// hexadecimal digits; empty when signing failed.
std::string signe(const Cle& cle, const std::string& octets);

// True when `rs` (r||s in hexadecimal) is a signature of the SHA-256 of `octets` by the public
// key X||Y `publique` (as clepublique gives it).
bool verifie(const std::string& publique, const std::string& rs, const std::string& octets);

// SHA-256 in 64 lower-case hexadecimal digits: of bytes, and of a file read a block at a time
// (empty when the file cannot be read).
std::string sha256(const std::string& octets);
std::string sha256fichier(const std::string& chemin);
// A SHA-256 of bytes given piece by piece, as the publisher and the check hash what they
// stream.
std::unique_ptr<publication::Hachage> sha256flux();

// A DER-encoded ECDSA signature as r||s in hexadecimal, each number on exactly 32 bytes (a
// number with leading zero bytes is padded, never shortened); empty for anything else.
std::string rsdepuisder(const unsigned char* der, std::size_t taille);

}  // namespace tidewell::signature
