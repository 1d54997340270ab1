#include "run/CompanionRounds.h"

#include "engine/FollowerTransformer.h"
#include "geodata/MapProjection.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"
#include "run/OgrRoundWriter.h"

#include <algorithm>
#include <cctype>

namespace tessaro {
namespace {

// A layer name as a part of a file name: letters, digits, '-' and '_' kept, the rest '_'.
std::string FileNamePart(const std::string& name)
{
    std::string part;
    for (const char c : name)
        part += std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ? c : '_';
    return part.empty() ? std::string("layer") : part;
}

} // namespace

CCompanionRounds::CCompanionRounds(std::vector<std::unique_ptr<CCompanionLayer>> layers, COgrRoundWriter& writer,
                                   bool fixedSplits, bool keepBest)
    : Layers_(std::move(layers)), Writer_(writer), FixedSplits_(fixedSplits), KeepBest_(keepBest)
{
    for (const auto& layer : Layers_) {
        const std::string base = "_" + FileNamePart(layer->LayerName());
        std::string suffix = base;
        for (int k = 2; std::find(Suffixes_.begin(), Suffixes_.end(), suffix) != Suffixes_.end(); ++k)
            suffix = base + "_" + std::to_string(k);
        Suffixes_.push_back(suffix);
    }
    if (KeepBest_)
        Current_ = Capture();
}

CCompanionRounds::State CCompanionRounds::Capture() const
{
    State state;
    for (const auto& layer : Layers_)
        state.push_back(layer->Vertices());
    return state;
}

void CCompanionRounds::Apply(const State& state)
{
    for (size_t i = 0; i < Layers_.size() && i < state.size(); ++i)
        Layers_[i]->SetVertices(state[i]);
}

void CCompanionRounds::AfterRound(CQuadTree& tree, int round, double weightedError)
{
    // The measurement before this round judged the state the layers are in now; the solver
    // keeps a state only when its error is strictly lower than every one before.
    if (KeepBest_ && weightedError < BestError_) {
        BestError_ = weightedError;
        BestRound_ = round;
        Best_ = Current_;
    }
    for (const auto& layer : Layers_) {
        std::vector<double> vertices = layer->Vertices();
        if (!CFollowerTransformer::Move(tree, vertices, FixedSplits_))
            continue;
        layer->SetVertices(vertices);
    }
    if (KeepBest_)
        Current_ = Capture();
}

void CCompanionRounds::AppendVertices(std::vector<double>& xy) const
{
    for (const auto& layer : Layers_) {
        const std::vector<double> vertices = layer->Vertices();
        xy.insert(xy.end(), vertices.begin(), vertices.end());
    }
}

std::vector<CShapeLayer> CCompanionRounds::Shapes() const
{
    std::vector<CShapeLayer> shapes;
    for (const auto& layer : Layers_)
        shapes.push_back(layer->Shapes());
    return shapes;
}

bool CCompanionRounds::RestoreKept(int keptRound)
{
    // Without keep-best nothing was kept, and BestRound_ still says so (-1).
    if (!KeepBest_ || BestRound_ < 0 || keptRound != BestRound_)
        return false;
    Apply(Best_);
    return true;
}

int CCompanionRounds::Export(const CRunFileNames& names, int round, const CInputFiles& inputs,
                             std::vector<std::string>& written)
{
    int failures = 0;
    for (size_t i = 0; i < Layers_.size(); ++i) {
        if (const auto refusal = inputs.CheckOutputs(Writer_.Targets(names, {round}, {Suffixes_[i]}))) {
            ShowMessage(*refusal, MessageKind::Error);
            ++failures;
            continue;
        }
        if (!WriteLayer(names, round, i, written))
            ++failures;
    }
    return failures;
}

bool CCompanionRounds::WriteLayer(const CRunFileNames& names, int round, size_t i, std::vector<std::string>& written)
{
    CCompanionLayer& layer = *Layers_[i];
    if (Projection_ == nullptr)
        return Writer_.WriteCompanion(names, round, layer, Suffixes_[i], written);
    // The layer is written in the input's coordinate system, then given its run's vertices back
    // exactly, so the rounds after this export go on from the same bits.
    const std::vector<double> run = layer.Vertices();
    std::vector<double> input = run;
    size_t failed = 0;
    if (!Projection_->Back(input, &failed)) {
        // Kept in the run's system rather than lost, as the map is (CBackProjectedExporter).
        ShowMessage("The layer " + layer.LayerName() + " of round " + std::to_string(round) +
                        " cannot be taken back to its coordinate system: its vertex " + std::to_string(failed + 1) +
                        " cannot be moved back from " + Projection_->Target() + ". It is written in " +
                        Projection_->Target() + " (" + Projection_->TargetName() +
                        "), the system the run moved it in, instead.",
                    MessageKind::Warning);
        return Writer_.WriteCompanion(names, round, layer, Suffixes_[i], written, Projection_->Target());
    }
    layer.SetVertices(input);
    const bool writtenWhole = Writer_.WriteCompanion(names, round, layer, Suffixes_[i], written);
    layer.SetVertices(run);
    return writtenWhole;
}

} // namespace tessaro
