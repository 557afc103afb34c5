#include <kestal/files/FinalName.h>

#include <ostrel/Ostrel.h>
#include <qtsupport/Text.h>

#include <memory>

namespace varno::kestal {

IdentifiedLog IdentifyDataLog(const QString& path)
{
    IdentifiedLog log;
    const link::NameRecord name = link::ReadName(qtsupport::pathBytes(path));
    log.extension = name.extension;

    std::unique_ptr<COstrel> data(COstrel::newObject());
    data->Load(qtsupport::pathBytes(path));
    link::Record& r = log.record;
    r.text = data->GetTitle();
    const char* type = data->GetInstrumentName();
    log.instrumentType = type ? type : "";
    r.serial = uint32_t(data->GetSerialNumber());
    r.magic = uint32_t(data->GetFileIdentity());
    const CUtcTime startTime = data->GetStartTime();
    const CUtcTime maxTime = data->GetMaxTime();
    r.startTime = uint32_t(startTime.GetSeconds());
    r.stopTime = uint32_t(maxTime.GetSeconds());
    const double version = data->GetVersion();
    int32_t start = 0;
    int32_t length = 0;
    if (version > 0 && version < 3.0) {
        start = (startTime - CUtcTime(1970, 1, 1, 0, 0, 0)).GetTotalSeconds();
        length = (maxTime - startTime).GetTotalSeconds();
    } else {
        start = data->GetAddressOffset();
        length = data->GetBytesDecoded();
        if (start < 0 && int32_t(name.start) > 0)
            start = int32_t(name.start);
    }
    r.start = uint32_t(start);
    r.length = uint32_t(length);
    return log;
}

void FillFromListing(IdentifiedLog& log, uint32_t serial, uint32_t start, uint32_t length)
{
    if (log.record.serial == 0)
        log.record.serial = serial;
    if (int32_t(log.record.start) < 0)
        log.record.start = start;
    if (log.record.length == 0)
        log.record.length = length;
}

std::string FinalFileName(const IdentifiedLog& log)
{
    return link::TerminalFileName(log.record, log.extension, log.instrumentType);
}

} // namespace varno::kestal
