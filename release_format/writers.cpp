// The writers of the release's files, which only the maker's tool uses: apart from the readers,
// so that the updater, which links the readers alone, carries none of them.
#include "forms.h"
#include "manifest.h"
#include "rollout.h"
#include "updater_offer.h"

namespace tidewell {

namespace {

std::string contenu(const Contenu& c)
{
    return std::to_string(c.taille) + ";" + c.sha256;
}

}  // namespace

std::string ecritmanifeste(const Manifeste& m)
{
    std::string t = "Format=" + std::to_string(m.format) + "\r\nCible=" + m.cible + "\r\nEdition="
                    + std::to_string(m.edition) + "\r\nExpire=" + m.expire + "\r\nCle=" + std::to_string(m.cle)
                    + "\r\n";
    for (const auto& p : m.pages)
        t += "Page=" + empreinte(p) + "\r\n";
    for (const auto& f : m.fichiers)
        t += "Fichier=" + empreinte(f) + "\r\n";
    return t;
}

std::string ecritformes(const Formes& f)
{
    std::string t = "Formes=1\r\nManifeste=" + f.manifeste + "\r\nCle=" + std::to_string(f.cle) + "\r\n";
    for (std::size_t i = 0; i < f.fichiers.size(); ++i) {
        const std::string rang = std::to_string(i + 1);
        if (f.fichiers[i].compresse)
            t += "Compresse=" + rang + ";" + contenu(*f.fichiers[i].compresse) + "\r\n";
        for (const Delta& d : f.fichiers[i].deltas)
            t += "Delta=" + rang + ";" + contenu(d.base) + ";" + contenu(d.forme) + "\r\n";
    }
    return t;
}

std::string ecritoffre(const Offre& o)
{
    std::string t = "Offre=1\r\nManifeste=" + o.manifeste + "\r\nCle=" + std::to_string(o.cle) + "\r\nRevision="
                    + std::to_string(o.revision) + "\r\nProgramme=" + contenu(o.programme) + "\r\n";
    if (o.formes.compresse)
        t += "Compresse=" + contenu(*o.formes.compresse) + "\r\n";
    for (const Delta& d : o.formes.deltas)
        t += "Delta=" + contenu(d.base) + ";" + contenu(d.forme) + "\r\n";
    return t;
}

std::string ecritdeploiement(const Deploiement& d)
{
    return "Deploiement=1\r\nManifeste=" + d.manifeste + "\r\nCle=" + std::to_string(d.cle) + "\r\nSequence="
           + std::to_string(d.sequence) + "\r\nPart=" + textepart(d.part) + "\r\n";
}

}  // namespace tidewell
