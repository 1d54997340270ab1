#include "geodata/OgrSession.h"

#include <cpl_error.h>

#include <mutex>

namespace tessaro {

void GdalDatasetCloser::operator()(GDALDataset* dataset) const { GDALClose(dataset); }

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
    return GdalDatasetPtr(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr,
                          nullptr));
}

} // namespace tessaro
