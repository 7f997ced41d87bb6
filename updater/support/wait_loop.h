// The rule of a pause, apart from the platform: the thread's messages are handled on every
// turn, and the pause ends at the first turn on which strictly more than the duration has
// elapsed. Between turns the thread sleeps until a message arrives or the time is up.
#pragma once

namespace libmaj {

// maintenant() gives monotonic seconds; cede() handles the pending messages; dort(s) sleeps
// at most s seconds, waking early when a message arrives.
template <class Horloge, class Cede, class Dort>
void attendre(float duree, Horloge maintenant, Cede cede, Dort dort)
{
    if (duree < 0)
        return;
    const double debut = maintenant();
    for (;;) {
        cede();
        const double ecoule = maintenant() - debut;
        if (ecoule > duree)
            return;
        dort(duree - ecoule);
    }
}

}  // namespace libmaj
