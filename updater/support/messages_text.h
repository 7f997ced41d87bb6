// The support library's message catalogue: every box it can show, with its title, its text
// assembled from fixed bilingual fragments and the caller's data, and its style. The
// language code chooses the fragments: 0 and 1 French, 2 English; with any other code the
// title is empty and the pieces given under a language are left out.
#pragma once

#include <cstdint>
#include <string>

namespace libmaj {

struct Message {
    std::string titre;
    std::string texte;
    int style = 64;                 // 64 information + OK, 65 with Cancel, 16 stop + OK
    bool remetpointeur = false;     // the mouse pointer goes back to the default first
};

// "Information : ", a line break, 60 underscores and two line breaks.
std::string entete(const std::string& sautligne);

Message messagememenom(std::int16_t langue, const std::string& sautligne, const std::string& source);
Message messageechecopie(std::int16_t langue, const std::string& sautligne, const std::string& source,
                         const std::string& destination, const std::string& description);
Message messagenontrouve(std::int16_t langue, const std::string& sautligne, const std::string& chemin);
Message messagesansconnexion(std::int16_t langue, const std::string& sautligne);
Message messageenvironnement(std::int16_t langue, const std::string& titre);
Message messagepage(std::int16_t langue, const std::string& sautligne, const std::string& titre,
                    const std::string& site);
Message messageerreur(std::int16_t langue, const std::string& sautligne, long numero,
                      const std::string& module, const std::string& description);

}  // namespace libmaj
