#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaro {

// The power of its desired over current area D/A at which the density flow is asked to move each
// polygon. A polygon many flow cells wide reaches its size in one round at power 1; one only a
// few cells wide is blurred into its neighbours on the flow's grid and moves a fraction u of the
// way, round after round. Asking it for (D/A)^(k/u) next round moves it the whole way. The powers
// are learned from what each round did, polygon by polygon, and held within [1, MaxPower]; only
// polygons already near their sizes learn, where the response is close to linear.
class CFlowGains {
public:
    static constexpr double MaxPower = 2.0;
    // |ln(D/A)| within which a polygon learns its power, and above which it is no longer noise.
    static constexpr double LearnBelow = 0.5;
    static constexpr double LearnAbove = 0.002;

    // The round's densities from its radius ratios ρ (ρ² = D/A): (D/A)^k for the polygons
    // `pushed` marks, 0 (the mean) for the rest and for a ratio that is not a number, within
    // [1/contrast, contrast]. With `learn` (the round
    // before moved the whole way it was asked, no try undone) each power is first set from how
    // far that round moved its polygon.
    std::vector<double> Densities(const std::vector<double>& ratios, const std::vector<uint8_t>& pushed,
                                  double contrast, bool learn);

    // The power polygon `i` was last asked at.
    double Power(std::size_t i) const { return i < Powers_.size() ? Powers_[i] : 1.0; }

private:
    void Learn(std::size_t i, double logRatio);

    std::vector<double> Powers_;
    std::vector<double> Before_; // ln(D/A) when last asked, 0 when not asked
};

} // namespace tessaro
