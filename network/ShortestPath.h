#pragma once

#include <cstdint>
#include <list>
#include <vector>

namespace tessaro {

class CNetwork;
class CNetworkNode;

// A least-cost route read back from the node records after a search.
struct CRoute {
    // From the origin to the destination; empty when the destination was not settled.
    std::vector<CNetworkNode*> Nodes;
    // The destination's distance: the sum of the chain weights along Nodes.
    double Cost = 0.0;
};

// The best-route engine: a label-setting search from Origin to Destination over the chain
// weights (WeightedLength), with its working state kept in the nodes' attribute records
// (Distance, Previous, finished and reached flags).
//
// Modes of Solve:
//   1  each step scans the whole node list for the nearest reached, unfinished node
//      (quadratic; ties go to the node earlier in the list);
//   2  the reached nodes wait in a candidate list sorted by distance (ties in arrival order);
//   3  as 2, but a node joins the list only inside a cone towards the destination that halves
//      with every further ring of width initCircle around the origin. Faster on large road
//      networks, and the route found may be longer than the best one or not found at all.
// Modes 1 and 2 are exact (for non-negative weights). Any other mode searches nothing.
class CShortestPath {
public:
    static constexpr int ModeScan = 1;
    static constexpr int ModeCandidates = 2;
    static constexpr int ModeRegional = 3;

    // The engine works on `network`, which must outlive it.
    explicit CShortestPath(CNetwork& network);
    virtual ~CShortestPath() = default;
    CShortestPath(const CShortestPath&) = delete;
    CShortestPath& operator=(const CShortestPath&) = delete;

    // Resets every node record, forgets the candidates and applies the origin and the
    // destination again. An origin or destination that is no longer a node of the network
    // is dropped first, so a reloaded network is never searched from a destroyed node.
    void Initialize();
    // Null is refused with "A Invalid Pointer!". The origin gets distance 0, is finished and
    // becomes the node to expand.
    bool SetOrigin(CNetworkNode* node);
    // Null is refused with "A Invalid Pointer!".
    bool SetDestination(CNetworkNode* node);
    // Searches until the destination is finished or nothing is left to expand, then shows the
    // largest candidate-list length and the time taken, and says so when the destination
    // could not be reached.
    void Solve(int mode, double initCircle);

    // The route of the last search, following Previous from the destination back to the
    // origin; empty when the destination is not finished.
    CRoute Route() const;

    CNetworkNode* Origin() const { return Origin_; }
    CNetworkNode* Destination() const { return Destination_; }
    CNetworkNode* Current() const { return Current_; }
    // The largest length the candidate list had when a node was taken from it in the last run.
    int32_t MaxCandidates() const { return MaxCandidates_; }
    // Ascending distance from the head (as distances stood on insertion); may hold a node twice.
    const std::list<CNetworkNode*>& Candidates() const { return Candidates_; }

private:
    bool InNetwork(const CNetworkNode* node) const;
    void Relax(int mode, double initCircle);
    bool InCone(const CNetworkNode& node, double initCircle) const;
    void InsertCandidate(CNetworkNode* node);
    void SelectByScan();
    void SelectFromCandidates();

    CNetwork& Network_;
    std::list<CNetworkNode*> Candidates_;
    CNetworkNode* Current_ = nullptr;
    CNetworkNode* Origin_ = nullptr;
    CNetworkNode* Destination_ = nullptr;
    int32_t MaxCandidates_ = 0;
};

} // namespace tessaro
