// The collision pass in time linear in the world's size, with the every-pair pass's result.
//
// The every-pair pass (ReferenceCollisionPass) makes a fixed sequence of calls: rows i
// ascending, partners j > i ascending, a's call then b's. This pass makes a subsequence of
// it, leaving out only calls the callee's CollisionInterest says change nothing: a block's,
// the figure's when the partner is not a block, a snowflake's after its first of the pass.
// Since Collided changes only its own object, a call left out changes no state, so every
// call that is made finds the world as the every-pair pass would, and decides the same
// CanCollide questions. Only the pairs that need a call are visited: per row, the merged,
// sorted index lists of the partners that row can matter to.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "app/world.h"

namespace {

using Index = std::uint32_t;
constexpr Index NONE = UINT32_MAX;
constexpr int KINDS = CollisionInterest::MAX_KIND + 1;

enum class Hearing : unsigned char {
    Everything,  // every call may matter: visited in every row
    Kinds,       // only calls naming a kind in its mask
    FirstCall,   // only the first call of the pass
    Nothing,     // out of the pass: it cannot collide and nothing can change that
};

struct Entry {
    std::uint64_t kinds = 0;
    int kind = -1;  // its own kind, fixed for the pass unless it hears everything
    Hearing hearing = Hearing::Nothing;
    bool heard = false;  // FirstCall: its first call of the pass is made
};

// Objects lie wherever they were allocated, not in list order: ask for the one a few
// visits ahead so that it is in cache when its turn comes.
constexpr std::size_t PREFETCH_AHEAD = 16;

// A sorted index list and how far the rows have gone through it.
struct Walk {
    std::vector<Index> items;
    std::size_t next = 0;

    void Reset()
    {
        items.clear();
        next = 0;
    }
    // The part of the list after row i (rows only go forward).
    std::pair<const Index*, const Index*> After(Index i)
    {
        while (next < items.size() && items[next] <= i)
            ++next;
        return {items.data() + next, items.data() + items.size()};
    }
};

// Kept between ticks so that a large world costs no allocations per tick.
struct Scratch {
    std::vector<Entry> entries;
    Walk everything;                // Hearing::Everything, whatever their state
    std::array<Walk, KINDS> ofKind;  // declared objects by their own kind
    std::array<Walk, KINDS> caring;  // Hearing::Kinds objects whose mask names the kind
    std::vector<Index> firstCall;   // Hearing::FirstCall objects not yet past a row that told them
    std::uint64_t kindsUsed = 0;
    std::uint64_t caringUsed = 0;
};

Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
}

bool Needs(const Entry& e, int partnerKind)
{
    switch (e.hearing) {
    case Hearing::Everything:
        return true;
    case Hearing::Kinds:
        return partnerKind >= 0 && partnerKind < KINDS && ((e.kinds >> partnerKind) & 1) != 0;
    case Hearing::FirstCall:
        return !e.heard;
    case Hearing::Nothing:
        break;
    }
    return false;
}

// One pair of the every-pair pass, with only the calls that may change something.
inline void Meet(GameObject* a, Entry& ea, GameObject* const* list, Entry* entries, Index j)
{
    GameObject* b = list[j];
    if (!b->CanCollide() || !a->CheckCollisions(b))
        return;
    if (Needs(ea, b->GetID())) {
        a->Collided(b->GetID(), b);
        ea.heard = true;
    }
    Entry& eb = entries[j];
    if (Needs(eb, a->GetID())) {
        b->Collided(a->GetID(), a);
        eb.heard = true;
    }
}

void Classify(GameObject* const* list, Index n, Scratch& s)
{
    s.entries.assign(n, Entry{});
    s.everything.Reset();
    for (int k = 0; k < KINDS; ++k) {
        if ((s.kindsUsed >> k) & 1)
            s.ofKind[k].Reset();
        if ((s.caringUsed >> k) & 1)
            s.caring[k].Reset();
    }
    s.kindsUsed = 0;
    s.caringUsed = 0;
    s.firstCall.clear();

    for (Index i = 0; i < n; ++i) {
        if (i + PREFETCH_AHEAD < n)
            __builtin_prefetch(list[i + PREFETCH_AHEAD]);
        GameObject* object = list[i];
        const CollisionInterest interest = object->Interest();
        Entry& e = s.entries[i];
        if (interest.EveryCallMatters()) {
            // Its state may change in ways only its own calls show, so it is always asked.
            e.hearing = Hearing::Everything;
            s.everything.items.push_back(i);
            continue;
        }
        // A declared kind that cannot collide now never will during the pass: its state
        // changes only through its own calls, and it gets none.
        if (!object->CanCollide())
            continue;
        const int kind = object->GetID();
        e.kind = kind;
        if (kind >= 0 && kind < KINDS) {
            s.ofKind[kind].items.push_back(i);
            s.kindsUsed |= std::uint64_t{1} << kind;
        }
        if (interest.OnlyFirstCallMatters()) {
            e.hearing = Hearing::FirstCall;
            s.firstCall.push_back(i);
        } else {
            e.hearing = Hearing::Kinds;
            e.kinds = interest.KindMask();
            for (std::uint64_t mask = e.kinds; mask != 0; mask &= mask - 1) {
                const int k = __builtin_ctzll(mask);
                s.caring[k].items.push_back(i);
                s.caringUsed |= std::uint64_t{1} << k;
            }
        }
    }
}

// Visits, in ascending order and once each, every index of the given sorted ranges.
template <class Visit>
void MergeWalk(std::pair<const Index*, const Index*>* ranges, int count, GameObject* const* list, Visit visit)
{
    for (;;) {
        Index j = NONE;
        for (int r = 0; r < count; ++r)
            if (ranges[r].first != ranges[r].second && *ranges[r].first < j)
                j = *ranges[r].first;
        if (j == NONE)
            return;
        for (int r = 0; r < count; ++r) {
            if (ranges[r].first != ranges[r].second && *ranges[r].first == j) {
                if (ranges[r].second - ranges[r].first > static_cast<std::ptrdiff_t>(PREFETCH_AHEAD))
                    __builtin_prefetch(list[ranges[r].first[PREFETCH_AHEAD]]);
                ++ranges[r].first;
            }
        }
        visit(j);
    }
}

}  // namespace

// Every two live, collidable objects hear of each other every tick, the earlier one first.
// a's CanCollide is asked once, before its row, so an object that dies mid-row still
// meets the rest of it. CollisionPass gives the same result in linear time; this one is
// the measure it is held to.
void ReferenceCollisionPass()
{
    const std::size_t n = objects.size();
    GameObject* const* const list = objects.data();
    for (std::size_t i = 0; i < n; ++i) {
        GameObject* a = list[i];
        if (!a->CanCollide())
            continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (j + PREFETCH_AHEAD < n)
                __builtin_prefetch(list[j + PREFETCH_AHEAD]);
            GameObject* b = list[j];
            if (!b->CanCollide())
                continue;
            if (a->CheckCollisions(b)) {
                a->Collided(b->GetID(), b);
                b->Collided(a->GetID(), a);
            }
        }
    }
}

void CollisionPass()
{
    const Index n = static_cast<Index>(objects.size());
    GameObject* const* const list = objects.data();
    Scratch& s = TheScratch();
    Classify(list, n, s);
    Entry* const entries = s.entries.data();

    constexpr int MAX_RANGES = 4 + KINDS;
    std::pair<const Index*, const Index*> ranges[MAX_RANGES];
    Index firstPartner[1];

    for (Index i = 0; i < n; ++i) {
        Entry& ea = entries[i];
        if (ea.hearing == Hearing::Nothing)
            continue;
        GameObject* a = list[i];

        if (ea.hearing == Hearing::Everything) {
            if (!a->CanCollide())
                continue;
            // It hears of every partner, so every pair of its row is visited.
            for (Index j = i + 1; j < n; ++j) {
                if (j + PREFETCH_AHEAD < n)
                    __builtin_prefetch(list[j + PREFETCH_AHEAD]);
                Meet(a, ea, list, entries, j);
            }
        } else {
            // Found without touching a: most rows have no partner that can matter.
            int count = 0;
            bool any = false;
            auto add = [&](std::pair<const Index*, const Index*> range) {
                ranges[count++] = range;
                any = any || range.first != range.second;
            };
            // Partners that hear of everything.
            add(s.everything.After(i));
            // Partners that hear of a's kind.
            const int kind = ea.kind;
            if (kind >= 0 && kind < KINDS && ((s.caringUsed >> kind) & 1))
                add(s.caring[kind].After(i));
            // Partners whose first call of the pass is still to come.
            if (!s.firstCall.empty() && s.firstCall.back() > i) {
                const Index* begin = std::upper_bound(s.firstCall.data(), s.firstCall.data() + s.firstCall.size(), i);
                add({begin, s.firstCall.data() + s.firstCall.size()});
            }
            if (ea.hearing == Hearing::Kinds) {
                // Declared partners of the kinds a hears of.
                for (std::uint64_t mask = ea.kinds & s.kindsUsed; mask != 0; mask &= mask - 1)
                    add(s.ofKind[__builtin_ctzll(mask)].After(i));
            } else if (!ea.heard) {
                // a's own first call goes to the first partner that can collide. That happens
                // at most once a pass: the first row that can collide tells every later
                // first-call object.
                Index j = i + 1;
                while (j < n && !list[j]->CanCollide())
                    ++j;
                if (j < n) {
                    firstPartner[0] = j;
                    add({firstPartner, firstPartner + 1});
                }
            }
            if (!any || !a->CanCollide())
                continue;
            MergeWalk(ranges, count, list, [&](Index j) { Meet(a, ea, list, entries, j); });
        }
        // Every first-call object after this row has now been told.
        while (!s.firstCall.empty() && s.firstCall.back() > i)
            s.firstCall.pop_back();
    }
}
