#include "forms_make.h"

#include <fstream>
#include <new>

namespace tidewell::publication {

namespace fs = std::filesystem;

namespace {

// A form is offered only where it saves this much: a compressed file at least a twentieth of
// the file, a delta at least half of what comes otherwise (the compressed file, or the file).
bool vautcompresse(std::size_t forme, std::size_t fichier)
{
    return forme * 20 <= fichier * 19;
}
bool vautdelta(std::size_t delta, std::size_t sinon)
{
    return delta * 2 <= sinon;
}

// The bytes gathered and hashed at the end, where the maker gave no hash that goes as they come.
class HachageEntier : public Hachage {
public:
    explicit HachageEntier(const Signataire& s) : s_(s) {}
    void ajoute(const char* octets, std::size_t taille) override { octets_.append(octets, taille); }
    std::string fin() override { return s_.sha256(octets_); }

private:
    const Signataire& s_;
    std::string octets_;
};

std::unique_ptr<Hachage> hachage(const Signataire& s)
{
    return s.hachage ? s.hachage() : std::make_unique<HachageEntier>(s);
}

// Exactly `taille` bytes of the file, in one allocation; `lu` turns false when the file
// cannot be read or is not of that size.
std::string litexact(const fs::path& chemin, std::uint64_t taille, bool& lu)
{
    std::ifstream f(chemin, std::ios::binary);
    std::string octets(static_cast<std::size_t>(taille), '\0');
    f.read(octets.data(), static_cast<std::streamsize>(taille));
    lu = lu && f && f.peek() == std::char_traits<char>::eof();
    return octets;
}

// Where the bytes of a form come from: the file read once in pieces, each hashed as it goes
// into the form, so that the form is known to be made of the bytes the manifest signed.
class Source {
public:
    Source(const fs::path& chemin, const Signataire& s) : f_(chemin, std::ios::binary), h_(hachage(s)) {}
    Lecture lecture()
    {
        return [this](char* tampon, std::size_t taille, std::size_t& lus) {
            f_.read(tampon, static_cast<std::streamsize>(taille));
            lus = static_cast<std::size_t>(f_.gcount());
            h_->ajoute(tampon, lus);
            return !f_.bad() && (f_.good() || f_.eof());
        };
    }
    std::string empreinte() { return h_->fin(); }

private:
    std::ifstream f_;
    std::unique_ptr<Hachage> h_;
};

// True when the form at `chemin` decodes, as the updater decodes it, to the signed file.
bool verifieforme(const fs::path& chemin, const std::string* base, const Empreinte& f, const Signataire& s)
{
    const auto h = hachage(s);
    return decodeflux(chemin, base, f.taille, [&](const char* o, std::size_t n) { h->ajoute(o, n); })
           && h->fin() == f.sha256;
}

// One frame made from the file `source`, written to `sortie`: true when made. An error text
// when the bytes read are no longer those the manifest signed: then the release is refused,
// since Maj/ would not be what was signed either.
std::string essaie(const Fabrique& fab, const fs::path& source, const Empreinte& f, const std::string* base,
                   const Reglage& r, int fenetrelog, const fs::path& sortie, bool& fait)
{
    Source lecture(source, fab.s);
    fait = compresseflux(lecture.lecture(), f.taille, base, r, fenetrelog, sortie);
    // Read whole, the bytes hashed are the form's; cut short, the file is read again to tell
    // a change of the file from a frame that could not be made.
    const std::string empreinte = fait ? lecture.empreinte() : fab.s.sha256fichier(source);
    std::error_code ec;
    if (empreinte != f.sha256 || fs::file_size(source, ec) != f.taille)
        return "cannot read " + source.string() + " again as it was signed: did it change meanwhile?";
    return {};
}

}  // namespace

std::string formesfichier(const Fabrique& fab, const fs::path& source, const Empreinte& f,
                          const std::vector<fs::path>& depuis, FormesFichier& ff, std::vector<fs::path>& ecrites)
{
    const Signataire& s = fab.s;
    std::error_code ec;
    bool fait = false;
    std::uint64_t sinon = f.taille;
    const fs::path zst = fab.provisoire / chemincompresse(f.nom);
    const fs::path essai = fab.provisoire / "essai";
    ecrites = {zst, essai};
    if (auto e = essaie(fab, source, f, nullptr, reglagecompresse, fenetrecompresse, zst, fait); !e.empty())
        return e;
    const auto taillezst = fait ? fs::file_size(zst, ec) : 0;
    if (fait && !ec && vautcompresse(taillezst, f.taille) && verifieforme(zst, nullptr, f, s)) {
        ff.compresse = tidewell::Contenu{taillezst, s.sha256fichier(zst)};
        sinon = taillezst;
    } else {
        fs::remove(zst, ec);
    }
    for (const fs::path& dossier : depuis) {
        const fs::path chemin = dossier / f.nom;
        const auto taille = fs::file_size(chemin, ec);
        if (ec || taille > s.tailleformes || ff.deltas.size() == deltasmax)
            continue;
        bool lu = true;
        std::string base;
        try {
            base = litexact(chemin, taille, lu);
        } catch (const std::bad_alloc&) {
            fab.remarques.push_back(f.nom + ": no delta from " + chemin.string() + ": not enough memory to hold it");
            continue;
        }
        const tidewell::Contenu b{base.size(), s.sha256(base)};
        const bool connue = b.sha256 == f.sha256 || std::any_of(ff.deltas.begin(), ff.deltas.end(), [&](const Delta& d) {
            return d.base.sha256.compare(0, 16, b.sha256, 0, 16) == 0;
        });
        if (!lu || connue)
            continue;
        const fs::path delta = fab.provisoire / chemindelta(f.nom, b.sha256);
        ecrites.push_back(delta);
        std::uint64_t meilleure = 0;   // the smallest sound delta so far; 0 for none
        for (const Reglage& r : s.reglages) {
            if (auto e = essaie(fab, source, f, &base, r, fenetredelta(taille, f.taille), essai, fait); !e.empty())
                return e;
            const auto t = fait ? fs::file_size(essai, ec) : 0;
            if (!fait || ec || (meilleure && t >= meilleure) || !verifieforme(essai, &base, f, s))
                continue;
            fs::rename(essai, delta, ec);
            meilleure = ec ? 0 : t;
        }
        fs::remove(essai, ec);
        if (meilleure && vautdelta(meilleure, sinon))
            ff.deltas.push_back({b, {meilleure, s.sha256fichier(delta)}});
        else
            fs::remove(delta, ec);
    }
    return {};
}


}  // namespace tidewell::publication
