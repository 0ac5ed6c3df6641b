#pragma once

#include <cstddef>
#include <vector>

#include "bench_world.h"

namespace bench {

// The bare cost of telling pairs: a stand-in object as big as the game object of its kind,
// whose only work is the one virtual call a side of a told pair costs. The classes behind
// it are hidden in reference_pairs.cpp.
class PairProbe {
public:
    virtual ~PairProbe() = default;
    virtual void Told(int otherKind, PairProbe* other) = 0;

    int GetKind() const { return kind; }

protected:
    int kind = 0;
    bool alive = true;
    float y = 0.0f;
};

// One probe per kind, allocated one by one in order as the game allocates its objects.
std::vector<PairProbe*> MakeProbes(const std::vector<Kind>& kinds);
void FreeProbes(std::vector<PairProbe*>& probes);

}  // namespace bench
