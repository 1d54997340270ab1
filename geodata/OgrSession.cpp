#include "geodata/OgrSession.h"

#include <cpl_error.h>

#include <mutex>

namespace tessaro {

void GdalDatasetCloser::operator()(GDALDataset* dataset) const { GDALClose(dataset); }

void TransformationDeleter::operator()(OGRCoordinateTransformation* transformation) const
{
    OGRCoordinateTransformation::DestroyCT(transformation);
}

COgrSession::COgrSession()
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

COgrSession::~COgrSession() { CPLPopErrorHandler(); }

std::string COgrSession::LastError(const std::string& fallback)
{
    const char* text = CPLGetLastErrorMsg();
    return text != nullptr && *text != '\0' ? std::string(text) : fallback;
}

GdalDatasetPtr OpenVectorSource(const std::string& path)
{
    // Reading never writes beside the input (GML's schema guess, a .gfs file) nor reaches the
    // network for a schema; drivers without these options ignore them.
    const char* const options[] = {"WRITE_GFS=NO", "DOWNLOAD_SCHEMA=NO", nullptr};
    return GdalDatasetPtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                            nullptr, options, nullptr));
}

} // namespace tessaro
