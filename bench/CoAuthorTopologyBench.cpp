// Times reading a large bibliography into a co-author network: the tagged lines, the paper
// cliques, the summary file and the topology pass that merges the authors.
#include "graphio/LitFileTranslator.h"
#include "network/Network.h"
#include "platform/SilentUserInterface.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

namespace tessaro {
namespace {

constexpr int PaperCount = 100000;
constexpr int AuthorPool = 60000;

// A synthetic bibliography in a temporary folder, written once and removed at exit.
//
// Authors are drawn with a heavy-tailed popularity (a few write very many papers, most a few),
// and a paper's co-authors mostly come from the first author's neighbourhood in the pool, so
// groups of collaborators recur the way they do in real bibliographies. Names are written in
// mixed case and now and then with a middle initial, which normalisation merges again.
class CSyntheticBibliography {
public:
    CSyntheticBibliography()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        Folder_ = pattern;
        Path_ = (Folder_ / "bibliography.txt").string();
        Write();
    }
    ~CSyntheticBibliography()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder_, ignored);
    }
    CSyntheticBibliography(const CSyntheticBibliography&) = delete;
    CSyntheticBibliography& operator=(const CSyntheticBibliography&) = delete;

    const std::string& Path() const { return Path_; }
    double Megabytes() const { return static_cast<double>(std::filesystem::file_size(Path_)) / (1 << 20); }

private:
    void Write()
    {
        static const std::array<const char*, 40> Syllables = {
            "an",  "ber",  "chen", "da",  "el", "fen", "gar", "ho",  "is",  "jun", "ka", "lin", "mo", "nak",
            "or",  "pe",   "qi",   "ro",  "sa", "ta",  "ul",  "van", "wei", "xu",  "ya", "zo",  "li", "ma",
            "son", "berg", "ski",  "ton", "ez", "ov",  "ra",  "ne",  "ko",  "mi",  "lu", "di"};
        std::mt19937 random(20240601);
        std::uniform_int_distribution<int> letter(0, 25);
        std::vector<std::string> surnames(AuthorPool);
        std::vector<std::string> initials(AuthorPool);
        for (int i = 0; i < AuthorPool; ++i) {
            // Three syllables of forty: 64,000 surnames, so the pool's names are nearly all
            // distinct, and the first letter upper-cased as a bibliography writes it.
            std::string name = std::string(Syllables[static_cast<size_t>(i % 40)]) +
                               Syllables[static_cast<size_t>((i / 40) % 40)] +
                               Syllables[static_cast<size_t>((i / 1600) % 40)];
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
            surnames[static_cast<size_t>(i)] = name;
            initials[static_cast<size_t>(i)] = std::string(1, static_cast<char>('A' + letter(random))) + ".";
        }

        std::uniform_real_distribution<double> unit(0.0, 1.0);
        // Popularity: index = pool * u^3 puts about a fifth of all authorships on the first 1%.
        auto popularAuthor = [&] { return static_cast<int>(AuthorPool * std::pow(unit(random), 3.0)); };
        std::discrete_distribution<int> authorsPerPaper({0, 12, 22, 24, 19, 13, 10});
        std::uniform_int_distribution<int> neighbour(-150, 150);
        std::uniform_int_distribution<int> year(1990, 2024);
        std::uniform_int_distribution<int> journal(1, 200);

        std::ofstream out(Path_, std::ios::binary);
        for (int paper = 0; paper < PaperCount; ++paper) {
            const int count = authorsPerPaper(random);
            const int lead = popularAuthor();
            for (int k = 0; k < count; ++k) {
                int author = lead;
                if (k > 0) {
                    author = unit(random) < 0.7 ? lead + neighbour(random) : popularAuthor();
                    author = std::clamp(author, 0, AuthorPool - 1);
                }
                const size_t a = static_cast<size_t>(author);
                std::string written = surnames[a] + " " + initials[a];
                if (unit(random) < 0.15)
                    written += static_cast<char>('A' + letter(random)) + std::string(".");
                out << "AU: " << written << "\n";
            }
            out << "PY: " << year(random) << "\n";
            if (unit(random) < 0.3)
                out << "BT: Proceedings of the Workshop on Networks " << journal(random) << "\n";
            out << "JR: Journal of Applied Topics " << journal(random) << "\n\n";
        }
        if (!out)
            throw std::runtime_error("cannot write " + Path_);
    }

    std::filesystem::path Folder_;
    std::string Path_;
};

const CSyntheticBibliography& Bibliography()
{
    static const CSyntheticBibliography bibliography;
    return bibliography;
}

// One read as a document does it, topology pass and layout included.
void BM_ReadBibliography(benchmark::State& state)
{
    const std::string& path = Bibliography().Path();
    auto previous = InstallUserInterface(std::make_unique<CSilentUserInterface>(false));
    double topologyMilliseconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto network = std::make_unique<CNetwork>();
        network->SetKeyMode(KeyByName);
        CLitFileTranslator translator(network.get());
        state.ResumeTiming();

        if (translator.ReadBibliography(path) != CLitFileTranslator::ReadSucceeded)
            state.SkipWithError("the bibliography could not be read");

        state.PauseTiming();
        state.counters["papers"] = translator.PaperCounter() - 1;
        state.counters["nodes"] = network->NodeCount();
        state.counters["chains"] = network->ChainCount();
        topologyMilliseconds += translator.TopologyMilliseconds();
        network.reset();
        state.ResumeTiming();
    }
    state.counters["topology_ms"] = topologyMilliseconds / static_cast<double>(state.iterations());
    state.counters["file_MB"] = Bibliography().Megabytes();
    InstallUserInterface(std::move(previous));
}

BENCHMARK(BM_ReadBibliography)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace tessaro
