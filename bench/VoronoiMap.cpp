// tessaro_voronoi_map: writes a synthetic polygon map of Voronoi cells as a shapefile, for timing
// the cartogram on maps of any size.
//
//   tessaro_voronoi_map CELLS OUT.shp [SEED]
//
// The sites lie in a square of 1,000 km (coordinates in metres, whole numbers, as Boost.Polygon's
// Voronoi builder wants integer input): half of them uniform over the square, half in a few dozen
// Gaussian clusters of widths from 2 km to 25 km, the towns of the map. Cell areas therefore span
// about three orders of magnitude, like the districts of a real country. Neighbouring cells take
// their corners from the diagram's shared vertices, so shared borders have identical coordinates.
// Of the closed cells whose corners all lie in the square, the CELLS whose sites lie nearest the
// middle are written, nearest first: a country without holes whose ragged outline is roughly the
// square with its corners cut off. Each cell gets ID, NAME and a log-normal POP. The same seed
// gives the same map.
//
// Exit status: 0 written, 1 the map could not be made or written, 2 unusable arguments.
#include <CLI/CLI.hpp>
#include <boost/polygon/voronoi.hpp>
#include <shapefil.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The side of the square the sites lie in, in metres.
constexpr std::int32_t BoxSide = 1'000'000;
constexpr long long MinCells = 3;
constexpr long long MaxCells = 2'000'000;
// The towns: how many, the share of the sites in them, and the range of their widths
// (standard deviation in metres). At its centre the narrowest is about 1,000 times as dense as
// the countryside, the widest about 7 times.
constexpr int ClusterCount = 36;
constexpr double ClusterShare = 0.5;
constexpr double NarrowestCluster = 2'000.0;
constexpr double WidestCluster = 25'000.0;
// The population: exp(N(PopLogMean, PopLogSigma)), rounded, at least 1.
constexpr double PopLogMean = 10.0;
constexpr double PopLogSigma = 1.2;
constexpr std::uint64_t DefaultSeed = 20240601;

// A refusal of the arguments (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Uniform and normal numbers made from the engine's raw bits: the engine's sequence is fixed by
// the standard, the standard distributions' use of it is not, so a seed gives the same map
// with any standard library.
class RandomSource {
public:
    explicit RandomSource(std::uint64_t seed) : Engine_(seed) {}

    // Uniform in [0, 1), 53 random bits.
    double Unit() { return static_cast<double>(Engine_() >> 11) * 0x1.0p-53; }

    double Uniform(double low, double high) { return low + (high - low) * Unit(); }

    // Standard normal by Box-Muller; 1 - Unit() lies in (0, 1], so the logarithm is finite.
    double Normal()
    {
        const double radius = std::sqrt(-2.0 * std::log(1.0 - Unit()));
        return radius * std::cos(2.0 * std::numbers::pi * Unit());
    }

private:
    std::mt19937_64 Engine_;
};

// The arguments as typed; CheckArguments reads the numbers from them.
struct Arguments {
    std::string Cells;
    std::string Output;
    std::string Seed = std::to_string(DefaultSeed);
};

struct Options {
    long long Cells = 0;
    std::string Output;
    std::uint64_t Seed = DefaultSeed;
};

struct Cluster {
    double X = 0;
    double Y = 0;
    double Sigma = 0;
};

using Site = boost::polygon::point_data<std::int32_t>;

// One written cell: its site and its ring, clockwise and closed (first point repeated).
struct CellRing {
    Site Generator;
    std::int64_t Remoteness = 0; // four times the squared distance from the site to the middle, in m²
    std::vector<double> X;
    std::vector<double> Y;
};

struct MapSummary {
    std::size_t Cells = 0;
    std::size_t Points = 0;
    double MinX = std::numeric_limits<double>::max();
    double MinY = std::numeric_limits<double>::max();
    double MaxX = std::numeric_limits<double>::lowest();
    double MaxY = std::numeric_limits<double>::lowest();
};

struct ShpCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }
};
struct DbfCloser {
    void operator()(DBFInfo* handle) const { DBFClose(handle); }
};
struct ShpObjectDestroyer {
    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};
using ShpFile = std::unique_ptr<SHPInfo, ShpCloser>;
using DbfFile = std::unique_ptr<DBFInfo, DbfCloser>;
using ShpShape = std::unique_ptr<SHPObject, ShpObjectDestroyer>;

// ---- Arguments ----------------------------------------------------------------------------

bool IsDirectory(const std::filesystem::path& path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// The output must be a .shp file name in an existing folder; none of the three files the map
// consists of may be a folder.
void CheckOutputPath(const std::string& text)
{
    const std::filesystem::path path(text);
    if (path.extension() != ".shp" || path.stem().empty() || path.filename() == ".shp")
        throw UsageError("the output " + text + " must be a file name ending in .shp");
    for (const char* extension : {".shp", ".shx", ".dbf"}) {
        std::filesystem::path sibling = path;
        sibling.replace_extension(extension);
        if (IsDirectory(sibling))
            throw UsageError("the output " + sibling.string() + " is a directory");
    }
    const std::filesystem::path folder = path.parent_path();
    if (!folder.empty() && !IsDirectory(folder))
        throw UsageError("the folder " + folder.string() + " of the output does not exist");
}

// The whole text as a number of type T, or false (a sign on an unsigned type, a fraction,
// trailing characters or a value out of range).
template <typename T> bool ReadWhole(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    return problem == std::errc() && stop == end;
}

Options CheckArguments(const Arguments& arguments)
{
    Options options;
    if (!ReadWhole(arguments.Cells, options.Cells) || options.Cells < MinCells || options.Cells > MaxCells)
        throw UsageError("CELLS must be a whole number from " + std::to_string(MinCells) + " to " +
                         std::to_string(MaxCells) + ", not " + arguments.Cells);
    if (!ReadWhole(arguments.Seed, options.Seed))
        throw UsageError("SEED must be a whole number from 0 to " +
                         std::to_string(std::numeric_limits<std::uint64_t>::max()) + ", not " + arguments.Seed);
    CheckOutputPath(arguments.Output);
    options.Output = arguments.Output;
    return options;
}

// ---- Sites --------------------------------------------------------------------------------

// The towns' centres keep a tenth of the side from the edges; their widths are log-uniform.
std::vector<Cluster> DrawClusters(RandomSource& random)
{
    std::vector<Cluster> clusters(ClusterCount);
    for (Cluster& cluster : clusters) {
        cluster.X = random.Uniform(0.1 * BoxSide, 0.9 * BoxSide);
        cluster.Y = random.Uniform(0.1 * BoxSide, 0.9 * BoxSide);
        cluster.Sigma = std::exp(random.Uniform(std::log(NarrowestCluster), std::log(WidestCluster)));
    }
    return clusters;
}

bool InBox(double x, double y)
{
    return x >= 0 && x <= BoxSide && y >= 0 && y <= BoxSide;
}

// A town's site; draws falling outside the square are drawn again.
Site DrawClusterSite(RandomSource& random, const Cluster& cluster)
{
    for (;;) {
        const double x = cluster.X + cluster.Sigma * random.Normal();
        const double y = cluster.Y + cluster.Sigma * random.Normal();
        if (InBox(x, y))
            return Site(static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y)));
    }
}

Site DrawSite(RandomSource& random, const std::vector<Cluster>& clusters)
{
    if (random.Unit() >= ClusterShare) {
        const double x = random.Uniform(0, BoxSide);
        const double y = random.Uniform(0, BoxSide);
        return Site(static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y)));
    }
    const auto which = static_cast<std::size_t>(random.Unit() * static_cast<double>(clusters.size()));
    return DrawClusterSite(random, clusters[std::min(which, clusters.size() - 1)]);
}

bool SiteLess(const Site& a, const Site& b)
{
    return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
}

// `count` sites, sorted, duplicates dropped (two equal sites would share one cell).
std::vector<Site> DrawSites(std::size_t count, RandomSource& random)
{
    const std::vector<Cluster> clusters = DrawClusters(random);
    std::vector<Site> sites;
    sites.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        sites.push_back(DrawSite(random, clusters));
    std::sort(sites.begin(), sites.end(), SiteLess);
    sites.erase(std::unique(sites.begin(), sites.end()), sites.end());
    return sites;
}

// Enough sites that, after the cells along the square's edges are dropped, at least `cells`
// remain: a tenth more, plus the edge cells (a few times the square root), plus a margin for
// small maps.
std::size_t SiteCount(long long cells)
{
    const auto wanted = static_cast<double>(cells);
    return static_cast<std::size_t>(std::ceil(1.1 * wanted + 8.0 * std::sqrt(wanted) + 64.0));
}

// ---- Cells --------------------------------------------------------------------------------

using Diagram = boost::polygon::voronoi_diagram<double>;

double SignedArea(const std::vector<double>& x, const std::vector<double>& y)
{
    double twice = 0;
    for (std::size_t i = 0, j = x.size() - 1; i < x.size(); j = i++)
        twice += x[j] * y[i] - x[i] * y[j];
    return twice / 2;
}

// Fills `ring` with the corners of a cell, taken from the diagram's shared vertices; false if the
// cell is open (an infinite edge), has a corner outside the square or fewer than three distinct
// corners. Consecutive equal corners are taken once.
bool TraceCell(const Diagram::cell_type& cell, CellRing& ring)
{
    const Diagram::edge_type* start = cell.incident_edge();
    if (start == nullptr)
        return false;
    const Diagram::edge_type* edge = start;
    do {
        const Diagram::vertex_type* corner = edge->vertex0();
        if (corner == nullptr || edge->vertex1() == nullptr || !InBox(corner->x(), corner->y()))
            return false;
        if (ring.X.empty() || corner->x() != ring.X.back() || corner->y() != ring.Y.back()) {
            ring.X.push_back(corner->x());
            ring.Y.push_back(corner->y());
        }
        edge = edge->next();
    } while (edge != start);
    if (ring.X.size() > 1 && ring.X.front() == ring.X.back() && ring.Y.front() == ring.Y.back()) {
        ring.X.pop_back();
        ring.Y.pop_back();
    }
    return ring.X.size() >= 3;
}

// Shapefile outer rings run clockwise (negative area with y up) and repeat their first point.
void MakeClockwiseAndClose(CellRing& ring)
{
    if (SignedArea(ring.X, ring.Y) > 0) {
        std::reverse(ring.X.begin(), ring.X.end());
        std::reverse(ring.Y.begin(), ring.Y.end());
    }
    ring.X.push_back(ring.X.front());
    ring.Y.push_back(ring.Y.front());
}

// Four times the squared distance to the middle of the square: exact in integers, and at most
// 2e12 for sites in the square.
std::int64_t Remoteness(const Site& site)
{
    const std::int64_t dx = 2 * static_cast<std::int64_t>(site.x()) - BoxSide;
    const std::int64_t dy = 2 * static_cast<std::int64_t>(site.y()) - BoxSide;
    return dx * dx + dy * dy;
}

std::vector<CellRing> ClosedCellsInBox(const Diagram& diagram, const std::vector<Site>& sites)
{
    std::vector<CellRing> rings;
    rings.reserve(diagram.cells().size());
    for (const Diagram::cell_type& cell : diagram.cells()) {
        CellRing ring;
        if (!TraceCell(cell, ring))
            continue;
        ring.Generator = sites[cell.source_index()];
        ring.Remoteness = Remoteness(ring.Generator);
        MakeClockwiseAndClose(ring);
        rings.push_back(std::move(ring));
    }
    return rings;
}

// The `count` cells whose sites lie nearest the middle of the square, nearest first; ties by
// the site's coordinates, so the order never depends on the diagram's internals.
void KeepNearestMiddle(std::vector<CellRing>& rings, std::size_t count)
{
    const auto nearer = [](const CellRing& a, const CellRing& b) {
        if (a.Remoteness != b.Remoteness)
            return a.Remoteness < b.Remoteness;
        return SiteLess(a.Generator, b.Generator);
    };
    std::partial_sort(rings.begin(), rings.begin() + static_cast<std::ptrdiff_t>(count), rings.end(), nearer);
    rings.resize(count);
}

std::vector<CellRing> BuildCells(const Options& options, RandomSource& random)
{
    const std::vector<Site> sites = DrawSites(SiteCount(options.Cells), random);
    Diagram diagram;
    boost::polygon::construct_voronoi(sites.begin(), sites.end(), &diagram);
    std::vector<CellRing> rings = ClosedCellsInBox(diagram, sites);
    const auto wanted = static_cast<std::size_t>(options.Cells);
    if (rings.size() < wanted)
        throw std::runtime_error("only " + std::to_string(rings.size()) + " closed cells lie inside the square, " +
                                 std::to_string(wanted) + " wanted; try another seed");
    KeepNearestMiddle(rings, wanted);
    return rings;
}

// ---- Writing ------------------------------------------------------------------------------

ShpFile CreateShapes(const std::string& path)
{
    ShpFile file(SHPCreate(path.c_str(), SHPT_POLYGON));
    if (!file)
        throw std::runtime_error("cannot create " + path);
    return file;
}

// ID (whole number), NAME ("Cell n") and POP (a real number with no decimals).
DbfFile CreateTable(const std::string& path)
{
    DbfFile file(DBFCreate(path.c_str()));
    if (!file)
        throw std::runtime_error("cannot create the table beside " + path);
    if (DBFAddField(file.get(), "ID", FTInteger, 9, 0) < 0 || DBFAddField(file.get(), "NAME", FTString, 16, 0) < 0 ||
        DBFAddField(file.get(), "POP", FTDouble, 19, 0) < 0)
        throw std::runtime_error("cannot add the fields to the table beside " + path);
    return file;
}

void WriteShape(SHPInfo* file, const CellRing& ring)
{
    const int partStart = 0;
    ShpShape shape(SHPCreateObject(SHPT_POLYGON, -1, 1, &partStart, nullptr, static_cast<int>(ring.X.size()),
                                   ring.X.data(), ring.Y.data(), nullptr, nullptr));
    if (!shape || SHPWriteObject(file, -1, shape.get()) < 0)
        throw std::runtime_error("cannot write a polygon (is the disk full?)");
}

double DrawPopulation(RandomSource& random)
{
    return std::max(1.0, std::round(std::exp(PopLogMean + PopLogSigma * random.Normal())));
}

void WriteRecord(DBFInfo* file, int record, RandomSource& random)
{
    const std::string name = "Cell " + std::to_string(record + 1);
    if (DBFWriteIntegerAttribute(file, record, 0, record + 1) == 0 ||
        DBFWriteStringAttribute(file, record, 1, name.c_str()) == 0 ||
        DBFWriteDoubleAttribute(file, record, 2, DrawPopulation(random)) == 0)
        throw std::runtime_error("cannot write the attributes of " + name);
}

void AddToSummary(MapSummary& summary, const CellRing& ring)
{
    ++summary.Cells;
    summary.Points += ring.X.size();
    const auto [minX, maxX] = std::minmax_element(ring.X.begin(), ring.X.end());
    const auto [minY, maxY] = std::minmax_element(ring.Y.begin(), ring.Y.end());
    summary.MinX = std::min(summary.MinX, *minX);
    summary.MaxX = std::max(summary.MaxX, *maxX);
    summary.MinY = std::min(summary.MinY, *minY);
    summary.MaxY = std::max(summary.MaxY, *maxY);
}

// The populations come from their own stream, seeded from the map's seed, so they do not
// shift when the number of sites drawn changes.
MapSummary WriteMap(const std::string& path, const std::vector<CellRing>& rings, std::uint64_t seed)
{
    RandomSource populations(seed ^ 0x9E3779B97F4A7C15ULL);
    ShpFile shapes = CreateShapes(path);
    DbfFile table = CreateTable(path);
    MapSummary summary;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        WriteShape(shapes.get(), rings[i]);
        WriteRecord(table.get(), static_cast<int>(i), populations);
        AddToSummary(summary, rings[i]);
    }
    return summary;
}

void PrintSummary(const std::string& path, const MapSummary& summary, double seconds)
{
    std::printf("%s: %zu cells, %zu vertices (ring points with each ring's closing point), "
                "extent (%.3f, %.3f) - (%.3f, %.3f) m, %.2f s\n",
                path.c_str(), summary.Cells, summary.Points, summary.MinX, summary.MinY, summary.MaxX, summary.MaxY,
                seconds);
}

int Run(const Arguments& arguments)
{
    const auto begin = std::chrono::steady_clock::now();
    const Options options = CheckArguments(arguments);
    RandomSource random(options.Seed);
    const std::vector<CellRing> rings = BuildCells(options, random);
    const MapSummary summary = WriteMap(options.Output, rings, options.Seed);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
    PrintSummary(options.Output, summary, elapsed.count());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"tessaro_voronoi_map: write a synthetic shapefile map of Voronoi cells with ID, NAME and POP"};
    Arguments arguments;
    app.add_option("CELLS", arguments.Cells, "Number of polygons to write (3 to 2,000,000)")->required();
    app.add_option("OUT", arguments.Output,
                   "Output shapefile, ending in .shp (the .shx and .dbf are written beside it)")
        ->required();
    app.add_option("SEED", arguments.Seed, "Seed of the random sites and populations")->capture_default_str();
    // A refusal of the parser reads like the tool's own refusals.
    app.failure_message([](const CLI::App* parser, const CLI::Error& error) {
        return "error: " + CLI::FailureMessage::simple(parser, error);
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }
    try {
        return Run(arguments);
    } catch (const UsageError& error) {
        std::cerr << "error: " << error.what() << "\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "error: " << error.what() << "\n";
        return 1;
    }
}
