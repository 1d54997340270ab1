#pragma once

#include "run/CompanionLayer.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tessaro {

class CInputFiles;
class CMapProjection;
class COgrRoundWriter;
class CQuadTree;
class CRunFileNames;

// The companion layers of one run as the rounds go: each round moves their vertices with the
// round's transformation (CFollowerTransformer), and each export writes them beside the map.
// With keep-best, the state of the round of the lowest weighted mean error is kept so that
// the result's companions match the result's map.
class CCompanionRounds {
public:
    // `writer` writes the layers (borrowed); `fixedSplits` is the convergence loop's cut rule.
    CCompanionRounds(std::vector<std::unique_ptr<CCompanionLayer>> layers, COgrRoundWriter& writer,
                     bool fixedSplits, bool keepBest);

    // The suffix each layer's files carry: "_" and its layer name, made unique.
    const std::vector<std::string>& Suffixes() const { return Suffixes_; }
    bool Empty() const { return Layers_.empty(); }

    // Round `round`, measured at `weightedError` before its transformation, has moved the map
    // through `tree`: the layers follow.
    void AfterRound(CQuadTree& tree, int round, double weightedError);
    // The result is the map of measurement `keptRound`, not the last one: the layers go back
    // to that state. False when that state was not kept (the layers stay as they are).
    bool RestoreKept(int keptRound);

    // Every layer's vertices as they stand (x, y pairs in the run's coordinate system).
    void AppendVertices(std::vector<double>& xy) const;
    // Every layer's geometry as it stands (in the run's coordinate system), for drawing.
    std::vector<CShapeLayer> Shapes() const;
    // For a run made in another coordinate system: the layers are written back in the input's
    // through `projection` (borrowed), while their vertices stay in the run's between exports.
    void WriteBackThrough(const CMapProjection* projection) { Projection_ = projection; }

    // Writes every layer as it stands under round `round`'s names, each checked against the
    // inputs first. Returns how many could not be written; `written` receives the files.
    int Export(const CRunFileNames& names, int round, const CInputFiles& inputs, std::vector<std::string>& written);

private:
    using State = std::vector<std::vector<double>>;
    State Capture() const;
    void Apply(const State& state);
    // Writes layer `i` as it stands, back in the input's coordinate system when there is one.
    bool WriteLayer(const CRunFileNames& names, int round, size_t i, std::vector<std::string>& written);

    std::vector<std::unique_ptr<CCompanionLayer>> Layers_;
    std::vector<std::string> Suffixes_;
    COgrRoundWriter& Writer_;
    const bool FixedSplits_;
    const bool KeepBest_;
    const CMapProjection* Projection_ = nullptr;
    // Keep-best: the state at the current measurement, and at the lowest one so far.
    State Current_;
    State Best_;
    int BestRound_ = -1;
    double BestError_ = std::numeric_limits<double>::infinity();
};

} // namespace tessaro
