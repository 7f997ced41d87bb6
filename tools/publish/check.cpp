#include "check.h"

#include "forms.h"
#include "manifest.h"
#include "pages.h"
#include "release_check.h"
#include "rollout.h"
#include "run_log_text.h"
#include "signing.h"
#include "text.h"
#include "updater_identity.h"
#include "updater_offer.h"
#include "updater_offer_make.h"
#include "web_rules.h"
#include "zstd_forms.h"

#include <zstd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

namespace tidewell::controle {

namespace fs = std::filesystem;

namespace {

bool absente(const Reponse& r)
{
    return r.issue == Reponse::Issue::statut && (r.statut == 404 || r.statut == 410);
}

std::string pourquoi(const Reponse& r)
{
    return absente(r) ? "missing (HTTP " + std::to_string(r.statut) + ")" : "not fetched: " + r.erreur;
}

// What differs between bytes and what was signed for them; empty when nothing does.
std::string ecart(const Contenu& lu, const Contenu& signe)
{
    if (lu.taille != signe.taille)
        return std::to_string(lu.taille) + " bytes, not the signed " + std::to_string(signe.taille);
    if (lu.sha256 != signe.sha256)
        return "sha256 " + lu.sha256 + ", not the signed " + signe.sha256;
    return {};
}

// The updater's code and its meaning, as its log gives them.
std::string code(const std::string& c)
{
    return c.empty() ? c : " (" + c + ": " + sensducode(c) + ")";
}

class Controle {
public:
    Controle(const std::string& adresse, const publication::ClePublique& cle, ClientHttps& client,
             const Anterieur& anterieur)
        : base_(adresse), cle_(cle), client_(client), anterieur_(anterieur)
    {
        while (!base_.empty() && base_.back() == '/')
            base_.pop_back();
        cible_ = cibleadresse(base_);
    }

    Rapport verifie(const std::string& aujourdhui)
    {
        std::string texte, fichiersignature;
        // A server that cannot be trusted is asked nothing more.
        const bool manifestelu = page(nommanifeste, taillemaxmanifeste, texte);
        if (!manifestelu && derniere_.issue == Reponse::Issue::tls)
            return fin(true);
        if (!page(nomsignature, taillemaxsignature, fichiersignature) || !manifestelu)
            return fin(true);
        // Nothing is judged by a manifest that is not the maker's.
        const auto signature = lecturesignature(fichiersignature);
        if (!signature)
            return arret(nomsignature, "not a signature file" + code(coderefus::signature));
        if (signature->cle != cle_.cle)
            return arret(nomsignature, "signed by key " + std::to_string(signature->cle) + ", not by key "
                                           + std::to_string(cle_.cle) + code(coderefus::signature));
        if (!signature::verifie(cle_.publique, signature->rs, texte))
            return arret(nommanifeste,
                         "its signature does not verify with key " + std::to_string(cle_.cle) + code(coderefus::invalide));
        std::string raison;
        const auto m = lecturemanifeste(texte, raison);
        if (!m)
            return arret(nommanifeste, "malformed" + code(raison));
        // The updater's own rules, against the record a copy may already hold. A manifest the
        // rules refuse is still the maker's: what it vouches for is checked too.
        const EtatSigne minimum = minimumrequis(anterieur_.installe, 0);
        raison = refusmanifeste(*m, signature->cle, cible_, minimum, aujourdhui);
        if (!raison.empty())
            probleme(nommanifeste,
                     "release " + std::to_string(m->edition) + " refused" + code(raison)
                         + (raison == coderefus::autrecible ? ": it is " + m->cible + "'s, not " + cible_ + "'s"
                            : raison == coderefus::perimee  ? ": valid through " + m->expire
                            : raison == coderefus::anterieure
                                ? ": a copy that installed release " + std::to_string(minimum.edition)
                                      + " refuses an older one"
                            : raison == coderefus::clepassee
                                ? ": signed by key " + std::to_string(m->cle) + ", which a copy that installed a release of key "
                                      + std::to_string(minimum.cle) + " has retired"
                                : ""));
        std::string pages[3];
        bool pagessignees = true;
        for (std::size_t i = 0; i < 3; ++i) {
            // No more is read than the updater reads.
            const Empreinte& e = m->pages[i];
            if (!page(e.nom, std::min<std::uint64_t>(e.taille, libmaj::taillemaxpage), pages[i])
                || !signe(e.nom, {pages[i].size(), signature::sha256(pages[i])}, {e.taille, e.sha256}, coderefus::page))
                pagessignees = false;
        }
        if (pagessignees && !listeconforme(*m, lectureliste(pages[1])))
            probleme(m->pages[1].nom, "does not name the manifest's files in its order" + code(coderefus::liste));
        for (std::size_t i = 0; i < m->fichiers.size(); ++i)
            fichier(i, m->fichiers[i]);
        const bool signee = r_.problemes.empty();
        const std::string part = verifiedeploiement(*m, *signature, signature::sha256(texte));
        const bool installable = r_.problemes.empty();
        const std::string formes = verifieformes(*m, *signature, signature::sha256(texte));
        const std::string offre = verifieoffre(*m, *signature, signature::sha256(texte));
        if (r_.problemes.empty()) {
            r_.installable = true;
            r_.resume = "OK: " + base_ + " serves release " + std::to_string(m->edition) + " of " + m->cible
                        + ", signed by key " + std::to_string(m->cle) + ", valid through " + m->expire + ", "
                        + std::to_string(m->fichiers.size()) + " files as signed, " + formes + ", " + offre + ", "
                        + part
                        + (part.rfind("share 0 %", 0) == 0 ? ": halted, no copy installs it"
                           : part.rfind("share", 0) == 0 ? ": a signed updater installs it within the share"
                                                          : ": a signed updater installs it");
            return r_;
        }
        r_.installable = installable;
        return fin(false, installable ? "a signed updater installs the release, but the cheaper forms or the "
                                        "updater it serves are not sound"
                                      : signee ? "signed updaters take the release as not yet for them"
                                               : "a signed updater refuses this release");
    }

private:
    std::string adresse(const std::string& nom) const { return base_ + "/" + echappeurl(nom); }

    void probleme(const std::string& nom, const std::string& quoi) { r_.problemes.push_back(adresse(nom) + ": " + quoi); }
    Rapport arret(const std::string& nom, const std::string& quoi)
    {
        probleme(nom, quoi);
        return fin(true);
    }

    // A small file whole, or a problem said. The updater takes a page that holds the marker of
    // an error page for a missing one, signed or not.
    bool page(const std::string& nom, std::uint64_t taillemax, std::string& texte)
    {
        derniere_ = client_.lit(adresse(nom), taillemax, texte);
        if (derniere_.issue != Reponse::Issue::lue)
            probleme(nom, pourquoi(derniere_));
        else if (libmaj::contientmarqueur(texte))
            probleme(nom, "holds \"Error 404\" or \"Erreur 404\": updaters take it for a missing page");
        return derniere_.issue == Reponse::Issue::lue && !libmaj::contientmarqueur(texte);
    }

    bool signe(const std::string& nom, const Contenu& lu, const Contenu& signe, const std::string& c)
    {
        const std::string e = ecart(lu, signe);
        if (!e.empty())
            probleme(nom, "differs: " + e + code(c));
        return e.empty();
    }

    void fichier(std::size_t i, const Empreinte& f)
    {
        const std::string c = "F" + std::to_string(i + 1);
        const auto h = signature::sha256flux();
        const Reponse lu = client_.lit(adresse("Maj/" + f.nom), f.taille, [&h](const char* o, std::size_t n) { h->ajoute(o, n); });
        if (lu.issue != Reponse::Issue::lue)
            probleme("Maj/" + f.nom, pourquoi(lu) + code(c));
        else
            signe("Maj/" + f.nom, {lu.recus, h->fin()}, {f.taille, f.sha256}, c);
    }

    // A compressed form that decodes, as the updater decodes it, to what it stands for.
    void decodecomme(const std::string& nom, const std::string& octets, const Contenu& signe)
    {
        std::string decode;
        const bool decodee = publication::decodezstd(octets, nullptr, decode);
        const std::string e = ecart({decode.size(), signature::sha256(decode)}, signe);
        if (!decodee || !e.empty())
            probleme(nom, decodee ? "decodes to " + e : "does not decode as the updater decodes");
    }

    // The updater the release offers, which a copy takes only when the offer is signed with
    // the manifest's key and names that very manifest, and whose program says of itself what
    // the offer does; what the closing line says of it.
    std::string verifieoffre(const Manifeste& m, const Signature& signature, const std::string& sha256manifeste)
    {
        std::string texte, signatureoffre, programme;
        derniere_ = client_.lit(adresse(nomoffre), taillemaxoffre, texte);
        if (absente(derniere_))
            return "no updater offered";
        if (derniere_.issue != Reponse::Issue::lue) {
            probleme(nomoffre, pourquoi(derniere_));
            return {};
        }
        if (!page(nomsignatureoffre, taillemaxsignature, signatureoffre))
            return {};
        const auto s = lecturesignature(signatureoffre);
        const auto o = s && s->cle == signature.cle && signature::verifie(cle_.publique, s->rs, texte)
                           ? lectureoffre(texte, m, sha256manifeste) : std::nullopt;
        if (!o) {
            probleme(nomoffre, !s || s->cle != signature.cle || !signature::verifie(cle_.publique, s->rs, texte)
                                   ? "not signed by key " + std::to_string(cle_.cle) + ": copies ignore the offer"
                                   : "malformed, or another manifest's: copies ignore the offer");
            return {};
        }
        if (!forme(cheminprogramme(), o->programme, programme))
            return {};
        const auto p = lectureprogramme(programme);
        const auto id = p && p->identite ? lectureidentite(*p->identite) : std::nullopt;
        if (!id || !p->fenetre || !p->executable)
            probleme(cheminprogramme(), "not an updater with release keys: copies would refuse to run it");
        else if (id->revision != o->revision)
            probleme(cheminprogramme(), "is revision " + std::to_string(id->revision) + ", the offer says "
                                            + std::to_string(o->revision));
        else if (std::none_of(id->cles.begin(), id->cles.end(),
                              [&](const CleIdentite& c) { return c.id == cle_.cle && c.publique == cle_.publique; }))
            probleme(cheminprogramme(), "does not carry key " + std::to_string(cle_.cle)
                                            + ", which signs the release: copies would refuse it");
        std::string octets;
        if (o->formes.compresse && forme(cheminprogrammecompresse(), *o->formes.compresse, octets)
            && entete(cheminprogrammecompresse(), octets, o->programme.taille))
            decodecomme(cheminprogrammecompresse(), octets, o->programme);
        for (const Delta& d : o->formes.deltas) {
            const std::string nom = cheminprogrammedelta(d.base.sha256);
            if (forme(nom, d.forme, octets))
                entete(nom, octets, o->programme.taille);
            if (!anterieur_.arbre.empty()
                && !basegardee(publication::historiqueprogrammes(anterieur_.arbre), nomprogramme, d.base))
                probleme(nom, "its base, " + std::to_string(d.base.taille) + " bytes of SHA-256 " + d.base.sha256
                                  + ", is none of the updaters the maker keeps in "
                                  + publication::historiqueprogrammes(anterieur_.arbre).string());
        }
        return "updater revision " + std::to_string(o->revision) + " offered";
    }

    // The share of the copies that may install the release, which a copy takes only when it is
    // signed with the manifest's key and names that very manifest (otherwise the release is not
    // yet for it), and the newest the maker's tree holds; what the closing line says of it.
    std::string verifiedeploiement(const Manifeste& m, const Signature& signature, const std::string& sha256manifeste)
    {
        std::string texte, signaturepart, arbre;
        derniere_ = client_.lit(adresse(nomdeploiement), taillemaxdeploiement, texte);
        std::optional<Deploiement> d;
        if (!absente(derniere_)) {
            if (derniere_.issue != Reponse::Issue::lue)
                probleme(nomdeploiement, pourquoi(derniere_) + ": copies that saw a share for this release take it as not yet");
            else if (page(nomsignaturedeploiement, taillemaxsignature, signaturepart)) {
                const auto s = lecturesignature(signaturepart);
                if (s && s->cle == signature.cle && signature::verifie(cle_.publique, s->rs, texte))
                    d = lecturedeploiement(texte, m, sha256manifeste);
                if (!d)
                    probleme(nomdeploiement, std::string(s && s->cle == signature.cle && signature::verifie(cle_.publique, s->rs, texte)
                                                             ? "malformed, or another manifest's"
                                                             : "not signed by key " + std::to_string(cle_.cle))
                                                 + ": copies take the release as not yet for them");
            }
        }
        // A mirror that still serves an older share than the maker's: copies that saw the newer
        // one take the release as not yet.
        std::ifstream f(anterieur_.arbre / nomdeploiement, std::ios::binary);
        arbre.assign(std::istreambuf_iterator<char>(f), {});
        const auto maitre = anterieur_.arbre.empty() || !f.is_open() ? std::nullopt : lecturedeploiement(arbre, m, sha256manifeste);
        if (maitre && (!d || d->sequence < maitre->sequence))
            probleme(nomdeploiement, (d ? "sequence " + std::to_string(d->sequence) : std::string("no share"))
                                         + " served, the maker's tree holds sequence " + std::to_string(maitre->sequence)
                                         + ": copies that saw it take the release as not yet for them");
        // The copies that saw it take no share of the maker's below it.
        if (maitre && d && d->sequence > maitre->sequence)
            probleme(nomdeploiement, "sequence " + std::to_string(d->sequence) + " served, above the maker's tree's "
                                         + std::to_string(maitre->sequence)
                                         + ": the tree is not the maker's latest, and copies would refuse its share");
        if (!d)
            return "no share: for every copy";
        return "share " + textepart(d->part) + " % (sequence " + std::to_string(d->sequence) + ")";
    }

    // A form whole and as the list signed it.
    bool forme(const std::string& nom, const Contenu& signe, std::string& octets)
    {
        const Reponse lu = client_.lit(adresse(nom), signe.taille, octets);
        if (lu.issue != Reponse::Issue::lue)
            probleme(nom, pourquoi(lu));
        return lu.issue == Reponse::Issue::lue && this->signe(nom, {octets.size(), signature::sha256(octets)}, signe, {});
    }

    // The cheaper forms, which an updater takes only when their list is signed with the
    // manifest's key and names that very manifest; what the closing line says of them.
    std::string verifieformes(const Manifeste& m, const Signature& signature, const std::string& sha256manifeste)
    {
        std::string liste, signatureliste;
        derniere_ = client_.lit(adresse(nomformes), taillemaxformes, liste);
        if (absente(derniere_))
            return "no cheaper forms";
        if (derniere_.issue != Reponse::Issue::lue)
            return ignoree(pourquoi(derniere_));
        if (!page(nomsignatureformes, taillemaxsignature, signatureliste))
            return {};
        const auto s = lecturesignature(signatureliste);
        if (!s || s->cle != signature.cle || !signature::verifie(cle_.publique, s->rs, liste))
            return ignoree("not signed by key " + std::to_string(cle_.cle) + ": updaters ignore its forms");
        const auto formes = lectureformes(liste, m, sha256manifeste);
        if (!formes)
            return ignoree(liste.find("\r\nManifeste=" + sha256manifeste + "\r\n") == std::string::npos
                               ? "lists another manifest's forms: updaters ignore them"
                               : "malformed: updaters ignore its forms");
        std::size_t nombre = 0;
        for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
            const Empreinte& f = m.fichiers[i];
            const FormesFichier& ff = formes->fichiers[i];
            std::string octets;
            if (ff.compresse && forme(chemincompresse(f.nom), *ff.compresse, octets)
                && entete(chemincompresse(f.nom), octets, f.taille))
                decodecomme(chemincompresse(f.nom), octets, {f.taille, f.sha256});
            // A delta's name carries its base's hash: the updater asks for the one its copy holds.
            // No base is on the server: what the frame says of itself is checked, and the base
            // against the releases the maker keeps.
            for (const Delta& d : ff.deltas) {
                const std::string nom = chemindelta(f.nom, d.base.sha256);
                if (forme(nom, d.forme, octets))
                    entete(nom, octets, f.taille);
                if (!anterieur_.arbre.empty() && !basegardee(publication::historique(anterieur_.arbre), f.nom, d.base))
                    probleme(nom, "its base, " + std::to_string(d.base.taille) + " bytes of SHA-256 " + d.base.sha256
                                      + ", is " + f.nom + " in none of the releases the maker keeps in "
                                      + publication::historique(anterieur_.arbre).string());
            }
            nombre += (ff.compresse ? 1 : 0) + ff.deltas.size();
        }
        return std::to_string(nombre) + " cheaper forms";
    }

    // The frame as the updater's decoder judges it before it decodes a byte, and one frame
    // alone; a problem said otherwise.
    bool entete(const std::string& nom, const std::string& octets, std::uint64_t taille)
    {
        std::string refus = publication::refusentete(octets.data(), octets.size(), taille);
        if (refus.empty() && ZSTD_findFrameCompressedSize(octets.data(), octets.size()) != octets.size())
            refus = "is not one zstd frame alone";
        if (!refus.empty())
            probleme(nom, refus + ": updaters refuse it");
        return refus.empty();
    }

    // True when the maker's history `h` holds the file `nom` as `base` in one of its numbered
    // folders.
    bool basegardee(const fs::path& h, const std::string& nom, const Contenu& base)
    {
        std::error_code ec;
        for (fs::directory_iterator it(h, ec), fin; !ec && it != fin; it.increment(ec)) {
            const fs::path chemin = it->path() / nom;
            std::error_code e;
            if (!entierstrict(it->path().filename().string()) || fs::file_size(chemin, e) != base.taille || e)
                continue;
            auto [lu, neuf] = empreintes_.try_emplace(chemin.string());
            if (neuf)
                lu->second = signature::sha256fichier(chemin.string());
            if (lu->second == base.sha256)
                return true;
        }
        return false;
    }

    std::string ignoree(const std::string& quoi)
    {
        probleme(nomformes, quoi);
        return {};
    }

    Rapport fin(bool rien, const std::string& suite = "")
    {
        r_.resume = "FAILED: " + std::to_string(r_.problemes.size()) + " problem" + (r_.problemes.size() == 1 ? "" : "s")
                    + " at " + base_ + ": "
                    + (rien ? "nothing could be verified; a signed updater refuses this release" : suite);
        return r_;
    }

    std::string base_, cible_;
    const publication::ClePublique& cle_;
    ClientHttps& client_;
    const Anterieur& anterieur_;
    std::map<std::string, std::string> empreintes_;   // of the history's files, by path
    Reponse derniere_;
    Rapport r_;
};

}  // namespace

Rapport controle(const std::string& adresse, const publication::ClePublique& cle, ClientHttps& client,
                 const std::string& aujourdhui, const Anterieur& anterieur)
{
    return Controle(adresse, cle, client, anterieur).verifie(aujourdhui);
}

std::string cibleadresse(std::string adresse)
{
    while (!adresse.empty() && adresse.back() == '/')
        adresse.pop_back();
    return libmaj::majuscules(adresse.substr(adresse.rfind('/') + 1));
}

std::optional<EtatSigne> etatarbre(const fs::path& arbre, const std::string& cible, std::string& erreur)
{
    std::ifstream f(arbre / nommanifeste, std::ios::binary);
    const std::string texte(std::istreambuf_iterator<char>(f), {});
    std::string raison;
    const auto m = f.is_open() ? lecturemanifeste(texte, raison) : std::nullopt;
    if (!m)
        erreur = "--tree " + arbre.string() + " holds no readable signed release";
    else if (m->cible != cible)
        erreur = "--tree " + arbre.string() + " is " + m->cible + "'s tree, the address " + cible + "'s";
    return m && m->cible == cible ? std::optional<EtatSigne>(EtatSigne{m->edition, m->cle}) : std::nullopt;
}

}  // namespace tidewell::controle
