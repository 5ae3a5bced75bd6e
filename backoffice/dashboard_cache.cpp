#include "backoffice/dashboard_cache.h"

namespace backoffice {

bool Covers(DataVersion made, DataVersion asked) {
    return made.changes >= asked.changes && made.minute >= asked.minute &&
           made.database >= asked.database;
}

std::uint64_t ChangeCounter::published(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const std::uint64_t counted = counted_.load(std::memory_order_acquire);
    if (counted != published_ && (!publishedAt_ || now - *publishedAt_ >= interval_)) {
        published_ = counted;
        publishedAt_ = now;
    }
    return published_;
}

DashboardAnswer AnswerCache::get(const std::string& key, DataVersion version, const Make& make) {
    std::unique_lock lock(mutex_);
    if (const auto found = index_.find(key);
        found != index_.end() && Covers(found->second->version, version)) {
        recent_.splice(recent_.begin(), recent_, found->second);
        ++stats_.hits;
        return found->second->answer;
    }
    if (const auto flight = flights_.find(key);
        flight != flights_.end() && Covers(flight->second.version, version)) {
        const std::shared_future<DashboardAnswer> answer = flight->second.answer;
        ++stats_.joined;
        lock.unlock();
        return answer.get();
    }
    std::promise<DashboardAnswer> promise;
    const std::uint64_t serial = ++serial_;
    flights_[key] = {serial, version, promise.get_future().share()};
    ++stats_.made;
    lock.unlock();

    const auto land = [&] {
        // A newer flight for the key may have taken this one's place.
        const auto flight = flights_.find(key);
        if (flight != flights_.end() && flight->second.serial == serial) {
            flights_.erase(flight);
        }
    };
    DashboardAnswer answer;
    try {
        answer = make();
    } catch (...) {
        promise.set_exception(std::current_exception());
        lock.lock();
        land();
        throw;
    }
    promise.set_value(answer);
    lock.lock();
    land();
    if (answer.reply.status == 200) {
        keep(key, version, answer);
    }
    return answer;
}

void AnswerCache::keep(const std::string& key, DataVersion version, const DashboardAnswer& answer) {
    const std::size_t bytes = key.size() + answer.reply.body.size() + answer.etag.size();
    const auto found = index_.find(key);
    if (found != index_.end()) {
        if (Covers(found->second->version, version) && !(found->second->version == version)) {
            return; // made later than this one: newer
        }
        stats_.bytes -= found->second->bytes;
        recent_.erase(found->second);
        index_.erase(found);
    }
    if (bytes > limits_.bytes || limits_.entries == 0) {
        stats_.entries = recent_.size();
        return;
    }
    recent_.push_front({key, version, answer, bytes});
    index_[key] = recent_.begin();
    stats_.bytes += bytes;
    while (recent_.size() > limits_.entries || stats_.bytes > limits_.bytes) {
        stats_.bytes -= recent_.back().bytes;
        index_.erase(recent_.back().key);
        recent_.pop_back();
    }
    stats_.entries = recent_.size();
}

AnswerCache::Stats AnswerCache::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

} // namespace backoffice
