#include "acquisition/acquisitionsession.h"
#include "alarms/alarmoutput.h"
#include "history/historyoutput.h"
#include "logging/logoutput.h"
#include "publish/publisher.h"
#include "web/webserver.h"

namespace tarv::acquisition {

std::vector<std::unique_ptr<Output>> registeredOutputs(
    OutputHost &host, const SessionOptions &options)
{
    std::vector<std::unique_ptr<Output>> outputs;
    // The logger first: it hears each tick before anything else can change the state.
    outputs.push_back(std::make_unique<logging::LogOutput>(host, options.logAtStart));
    outputs.push_back(std::make_unique<alarms::AlarmOutput>(host));
    outputs.push_back(std::make_unique<publish::Publisher>(host, options.brokerRetry));
    outputs.push_back(std::make_unique<history::HistoryOutput>(host));
    outputs.push_back(std::make_unique<web::WebServer>(host));
    return outputs;
}

} // namespace tarv::acquisition
