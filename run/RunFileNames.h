#pragma once

#include <string>
#include <vector>

namespace tessaro {

// The step and export counts of a run, clamped from the parameter block.
struct RunSchedule {
    int Steps = 2;       // max(2, MaxSteps): transformation rounds 0 … Steps−1
    int ExportEvery = 1; // min(max(1, ExportEvery), Steps)

    // Whether round r is exported after its round line: every ExportEvery-th round and every
    // round from the last transformation round on.
    bool ExportsRound(int round) const;
};

RunSchedule MakeRunSchedule(int maxSteps, int exportEvery);

// The files one round exports.
struct RoundFileNames {
    std::string Shapefile;       // stem_r.shp (the writer adds stem_r.shx)
    std::string QuadtreePicture; // stem_r_qt.emf
    std::string PolygonPicture;  // stem_r_py.emf
    std::string CombinedPicture; // stem_r_qp.emf
    std::string TableCopy;       // stem_r.dbf
    std::string ProjectionCopy;  // stem_r.prj
};

// The names a run derives from its input shapefile. Every name is the input's stem (the path
// less a final ".shp" in any case) plus a suffix, so no derived name can equal the input, its
// companions or another derived name, whatever folders or repeated ".shp" the path holds. For
// the usual "usa.shp" the names are usa_nfo.txt, usa_3.shp, usa_3_qt.emf and so on.
class CRunFileNames {
public:
    // With an output folder the derived names keep their file names but live in that folder;
    // the input's companions stay beside the input.
    // With `anyExtension` (an input read through OGR, such as "usa.gpkg") the stem is the path
    // less whatever extension its file name has.
    explicit CRunFileNames(std::string shapefilePath, std::string outputFolder = {}, bool anyExtension = false);

    const std::string& InputShapefile() const { return Input_; }
    // The input's companions: stem.shx, stem.dbf, stem.prj (upper-case when the input ends in ".SHP").
    std::string InputIndex() const { return Stem_ + Companion("shx"); }
    std::string InputTable() const { return Stem_ + Companion("dbf"); }
    std::string InputProjection() const { return Stem_ + Companion("prj"); }

    std::string InformationFile() const { return OutputStem_ + "_nfo.txt"; }
    // The stem every output name starts with, in the output folder when there is one.
    const std::string& OutputStem() const { return OutputStem_; }
    // `round` is a round number, 0 or more.
    RoundFileNames ForRound(int round) const;

private:
    std::string Companion(const char* lowerExtension) const;

    std::string Input_;
    std::string Stem_;       // the input less its ".shp"
    std::string OutputStem_; // the stem moved into the output folder, if any
    bool UpperCaseExtension_ = false;
};

// Refuses names that would overwrite the input: true when neither the information file nor any
// export of `rounds` is the input .shp, .shx, .dbf or .prj, compared as paths (after resolving
// links and dot segments) and, for files that exist, by device and inode. Otherwise false, with a
// sentence for the user in `message`.
bool CheckDerivedNames(const CRunFileNames& names, const std::vector<int>& rounds, std::string& message);

} // namespace tessaro
