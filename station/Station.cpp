#include "station/Station.h"

namespace otp {

void StationTally::Add(const std::string& writer, Verdict verdict) {
    const std::lock_guard<std::mutex> lock(mutex_);
    writers_[writer].Add(verdict);
    total_.Add(verdict);
}

Tally StationTally::Of(const std::string& writer) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = writers_.find(writer);
    return it == writers_.end() ? Tally{} : it->second;
}

Tally StationTally::Total() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

StationWriter& Station::Add(WriterParts parts, const std::string& workingDir) {
    writers_.push_back(std::make_unique<StationWriter>(std::move(parts), ledger_, workingDir));
    return *writers_.back();
}

std::vector<StationWriter*> Station::Running() const {
    std::vector<StationWriter*> running;
    for (const auto& w : writers_)
        if (!w->Stopped()) running.push_back(w.get());
    return running;
}

std::vector<StationWriter*> Station::Producing() const {
    std::vector<StationWriter*> producing;
    for (StationWriter* w : Running())
        if (!w->Aside()) producing.push_back(w);
    return producing;
}

std::string Station::AsideList() const {
    std::string list;
    for (StationWriter* w : Running())
        if (w->Aside()) list += (list.empty() ? "" : ", ") + w->Port();
    return list;
}

StationWriter* Station::Find(const std::string& port) const {
    for (const auto& w : writers_)
        if (w->Port() == port) return w.get();
    return nullptr;
}

void Station::OnEach(const std::vector<StationWriter*>& writers, const std::function<void(StationWriter&)>& job) {
    for (StationWriter* w : writers) w->Post([w, &job] { job(*w); });
    for (StationWriter* w : writers) w->Wait();
}

void Station::OnEveryWriter(const std::function<void(StationWriter&)>& job) { OnEach(Running(), job); }
void Station::OnEverySocket(const std::function<void(StationWriter&)>& job) { OnEach(Producing(), job); }

std::string StartupStopReason(StartupResult result, const Context& ctx) {
    switch (result) {
        case StartupResult::Ready:
        case StartupResult::OtherVersion: return {};
        case StartupResult::NoWriter:
            return ctx.link.receivedBytes > 0 ? "the writer gave no whole answer at start-up"
                                              : "no writer answered at start-up";
        case StartupResult::NoIni: return "Writer.ini could not be read";
    }
    return {};
}

void Station::StartUp(const std::string& workingDir) {
    const IniFile ini = LoadWriterIni(workingDir);
    OnEveryWriter([&ini](StationWriter& w) {
        w.startup = RunStartup(w.ctx(), StartupPlan{&ini, w.Port()});
        const std::string why = StartupStopReason(w.startup, w.ctx());
        if (!why.empty()) w.Stop(why);
    });
}

}  // namespace otp
