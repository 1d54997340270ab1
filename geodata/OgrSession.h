#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>
#include <string>

namespace tessaro {

// Closes a dataset opened through GDAL; closing a dataset opened for writing flushes it.
struct GdalDatasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using GdalDatasetPtr = std::unique_ptr<GDALDataset, GdalDatasetCloser>;

// Destroys a coordinate transformation made by OGRCreateCoordinateTransformation.
struct TransformationDeleter {
    void operator()(OGRCoordinateTransformation* transformation) const;
};
using TransformationPtr = std::unique_ptr<OGRCoordinateTransformation, TransformationDeleter>;

// GDAL work on the calling thread: the drivers registered once per process, and GDAL's own
// error output held back while the session lives (GDAL's handler stack is per thread), so its
// last error can be told to the user in a message of ours instead of on standard error.
class COgrSession {
public:
    COgrSession();
    ~COgrSession();
    COgrSession(const COgrSession&) = delete;
    COgrSession& operator=(const COgrSession&) = delete;

    // GDAL's last error message on this thread, or `fallback` when it gave none.
    static std::string LastError(const std::string& fallback);
};

// Opens a vector source read-only; null when GDAL cannot open it as vector data.
GdalDatasetPtr OpenVectorSource(const std::string& path);

} // namespace tessaro
