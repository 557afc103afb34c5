#include <transfer/TransferProgram.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include <transfer/Protocol.h>

namespace varno::transfer {

namespace {

// Leading digits with an optional sign, like atoi; anything else gives 0, and values
// beyond the range of int stop at its ends.
int toInt(const std::string& text)
{
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

bool takeValue(const std::string& argument, const char* name, std::string& value)
{
    const std::string prefix = std::string("--") + name;
    if (argument.compare(0, prefix.size(), prefix) != 0)
        return false;
    value = argument.substr(prefix.size());
    return true;
}

int listMode(const std::string& folder, std::FILE* out)
{
    ListLocalFiles(folder.empty() ? std::string(".") : folder).Print(out, "file: ");
    return 0;
}

int stationMode(const TransferOptions& options, const CallEnvironment& environment)
{
    const std::string& folder = *options.station;
    Dictionary config;
    if (!config.ReadFile(folder + "/station.cfg")) {
        if (options.verbose != 0)
            protocol::Write(environment.out,
                            protocol::Format("ERROR File not found:%s\n", protocol::OneLine(folder).c_str()));
        return -1;
    }
    const std::string destination = folder + "/vrn";
    // A station folder holds its data folder; create it when the station is new.
    ::mkdir(destination.c_str(), 0755);
    StationCall call(options, environment);
    return call.Run(config.Lookup("connection").value_or(std::string()), config.Lookup("password"), destination);
}

} // namespace

bool ParseArguments(const std::vector<std::string>& arguments, TransferOptions& options)
{
    for (const std::string& argument : arguments) {
        std::string value;
        if (takeValue(argument, "verbose=", value))
            options.verbose = toInt(value);
        else if (takeValue(argument, "verbose", value))
            ++options.verbose;
        else if (takeValue(argument, "test=", value))
            options.test = value;
        else if (takeValue(argument, "archive=", value))
            options.archive = value;
        else if (takeValue(argument, "modemport=", value))
            options.modemPort = value;
        else if (takeValue(argument, "modeminit=", value))
            options.modemInit = value;
        else if (takeValue(argument, "connection=", value))
            options.connection = value;
        else if (takeValue(argument, "password=", value))
            options.password = value;
        else if (takeValue(argument, "destination=", value))
            options.destination = value;
        else if (takeValue(argument, "station=", value))
            options.station = value;
        else if (takeValue(argument, "readahead=", value))
            options.readahead = toInt(value);
        else if (takeValue(argument, "stall=", value))
            options.stall = toInt(value);
        else
            return false;
    }
    return true;
}

std::string UsageText(const std::string& program)
{
    const char* p = program.c_str();
    std::string text = protocol::Format("Usage: %s [options]\n", p);
    text += "\nVersion 0.1, Aug 17 2006\n";
    text += "\nGeneral Options:\n";
    text += "   --modemport=<port>          modem port\n";
    text += "   --modeminit=<init>          modem initialisation\n";
    text += "   --readahead=<num>           readahead parameter for file transfer\n";
    text += "   --stall=<seconds>           give a download up after that long without progress (default=120)\n";
    text += "   --verbose                   increase verbose level by one\n";
    text += "   --verbose=<level>           set verbose level (default=1)\n";
    text += "\nCall to a station that is registered with kestal:\n";
    text += "   --station=<directory>       station directory. File station.cfg must be in this directory\n";
    text += "\nManual call to one station:\n";
    text += "   --connection=<phonenumber>  phonenumber to call\n";
    text += "   --password=<password>       password\n";
    text += "   --destination=<directory>   destination directory\n";
    text += protocol::Format("\nExample: %s --modemport=COM3 --station=$HOME/varno/stations/my_station\n\n", p);
    return text;
}

int RunTransfer(const std::vector<std::string>& args, CallEnvironment environment)
{
    if (!environment.out)
        environment.out = stdout;
    const std::string program = args.empty() ? std::string("transfer") : args[0];
    TransferOptions options;
    const std::vector<std::string> arguments(args.empty() ? args.end() : args.begin() + 1, args.end());
    if (!ParseArguments(arguments, options)) {
        protocol::Write(environment.out, UsageText(program));
        return -1;
    }
    if (options.test)
        return listMode(*options.test, environment.out);
    if (options.station)
        return stationMode(options, environment);
    if (options.connection) {
        StationCall call(options, environment);
        return call.Run(*options.connection, options.password, options.destination);
    }
    protocol::Write(environment.out, UsageText(program));
    return -1;
}

} // namespace varno::transfer
