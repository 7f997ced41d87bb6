#include "decode.h"

#include "file_handles.h"
#include "signature_check.h"
#include "wait.h"
#include "web_rules.h"

// The frame header reader is of the library's advanced API, which a static link may use.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <memory>
#include <vector>

namespace libmaj {

namespace {

constexpr DWORD tailleblocs = 256 * 1024;
// As a download flushes: a few MiB at a time, so that the last flush finds little to write.
constexpr unsigned long long pasvidange = 8ull << 20;

struct LibereD {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};
struct FermeVue {
    void operator()(const void* v) const { UnmapViewOfFile(v); }
};

// The base file, open for reading and closed to writers while it is mapped, so that the
// bytes its hash was checked on are the bytes the decoder reads.
struct Base {
    PoigneeFichier fichier;
    Poignee projection;
    std::unique_ptr<const void, FermeVue> vue;
};

bool ouvrebase(const std::string& chemin, const Attendu& attendu, Base& b)
{
    b.fichier.reset(CreateFileA(chemin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER taille{};
    if (b.fichier.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(b.fichier.get(), &taille)
        || static_cast<unsigned long long>(taille.QuadPart) != attendu.taille || attendu.taille == 0
        || attendu.taille > SIZE_MAX)
        return false;
    b.projection.reset(CreateFileMappingA(b.fichier.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!b.projection)
        return false;
    b.vue.reset(MapViewOfFile(b.projection.get(), FILE_MAP_READ, 0, 0, 0));
    if (!b.vue)
        return false;
    Sha256 sha;
    return sha.valide() && sha.ajoute(b.vue.get(), static_cast<std::size_t>(attendu.taille)) && sha.fin() == attendu.sha256;
}

bool lit(HANDLE fichier, std::vector<char>& tampon, DWORD& lus)
{
    return ReadFile(fichier, tampon.data(), static_cast<DWORD>(tampon.size()), &lus, nullptr) != 0;
}

}  // namespace

Arrivee decodeverifie(const Arrivee& forme, const std::string& destination, const Attendu& attendu,
                      const Decodage& decodage)
{
    Arrivee arrivee;
    LARGE_INTEGER debut{};
    if (!forme || !SetFilePointerEx(forme.fichier(), debut, nullptr, FILE_BEGIN))
        return arrivee;
    std::vector<char> entree(tailleblocs), sortie(tailleblocs);
    DWORD lus = 0;
    if (!lit(forme.fichier(), entree, lus))
        return arrivee;
    // The frame says what it will take before anything is given to it: one frame, of exactly
    // the signed size, within the window allowed, and no dictionary but the base.
    ZSTD_frameHeader entete{};
    if (ZSTD_getFrameHeader(&entete, entree.data(), lus) != 0 || entete.frameType != ZSTD_frame
        || entete.frameContentSize != attendu.taille || entete.windowSize > (1ull << decodage.fenetrelog)
        || entete.dictID != 0)
        return arrivee;
    Base base;
    if (decodage.base && !ouvrebase(*decodage.base, decodage.contenubase, base))
        return arrivee;
    std::unique_ptr<ZSTD_DCtx, LibereD> d(ZSTD_createDCtx());
    if (!d || ZSTD_isError(ZSTD_DCtx_setParameter(d.get(), ZSTD_d_windowLogMax, decodage.fenetrelog))
        || (base.vue
            && ZSTD_isError(ZSTD_DCtx_refPrefix(d.get(), base.vue.get(), static_cast<std::size_t>(decodage.contenubase.taille)))))
        return arrivee;
    const std::string temporaire = nomtemporaire(destination);
    PoigneeFichier fichier = creeneuf(temporaire, true);
    if (!fichier)
        return arrivee;
    // As a download: hashed on a thread of its own and flushed as it goes, so that neither
    // waits for the decoder nor the decoder for them.
    Sha256Parallele sha(tailleblocs);
    VidangeFond vidangefond(fichier.get(), pasvidange);
    if (!sha.valide())
        return arrivee;
    unsigned long long ecrits = 0;
    std::size_t reste = 1;   // what the frame still needs; 0 once it ended whole
    // One step of the decoder from `in`, its output written and hashed; false when the frame is
    // not the one that was signed or the output cannot be written. `produit`: bytes it gave.
    std::size_t produit = 0;
    const auto decode = [&](ZSTD_inBuffer& in) {
        char* tampon = sha.tampon();
        ZSTD_outBuffer out{tampon, tailleblocs, 0};
        reste = ZSTD_decompressStream(d.get(), &out, &in);
        DWORD ecrit = 0;
        const bool bon = !ZSTD_isError(reste) && out.pos <= attendu.taille - ecrits
                         && (!out.pos || (WriteFile(fichier.get(), tampon, static_cast<DWORD>(out.pos), &ecrit, nullptr)
                                          && ecrit == out.pos));
        sha.ajoute(bon ? out.pos : 0);
        produit = out.pos;
        ecrits += out.pos;
        vidangefond.ecrit(out.pos);
        return bon;
    };
    while (lus > 0) {
        ZSTD_inBuffer in{entree.data(), lus, 0};
        while (in.pos < in.size) {
            if (!decode(in))
                return arrivee;
            if (reste == 0 && in.pos < in.size)
                return arrivee;   // bytes after the frame: not the form that was signed
        }
        cedemessages();
        if (!lit(forme.fichier(), entree, lus) || (reste == 0 && lus > 0))
            return arrivee;   // a second frame after the first: not the form that was signed
    }
    // A frame ends with its last block flushed out: what the decoder still holds comes now,
    // and a frame cut short gives nothing more.
    while (reste != 0) {
        ZSTD_inBuffer in{entree.data(), 0, 0};
        if (!decode(in) || produit == 0)
            return arrivee;
    }
    if (ecrits != attendu.taille || sha.fin() != attendu.sha256 || !vidange(fichier.get()))
        return arrivee;
    // Under the name a download of the plain file is kept by, so that a run that another file
    // fails keeps it as it keeps a plain arrival, and the next one takes it without a request.
    std::string nom = nompartiel(destination, attendu.sha256);
    if (!renomme(fichier.get(), nom, true))
        nom = temporaire;
    arrivee.fichier_ = std::move(fichier);
    arrivee.temporaire_ = nom;
    arrivee.destination_ = destination;
    return arrivee;
}

}  // namespace libmaj
