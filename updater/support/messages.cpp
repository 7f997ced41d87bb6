#include "messages.h"

#include "errors.h"
#include "message_box.h"
#include "pointer.h"
#include "run_state.h"

namespace libmaj {

int montre(const Message& message)
{
    if (message.remetpointeur)
        pointeursouris(Pointeur::defaut);
    return afficheboite(message.texte, message.titre, message.style);
}

void afficheerreur(const std::string& module)
{
    const Erreur erreur = erreurcourante();
    montre(messageerreur(etat().langue, etat().sautligne, erreur.numero, module, erreur.description));
}

}  // namespace libmaj
