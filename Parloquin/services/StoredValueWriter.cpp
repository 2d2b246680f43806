#include "Parloquin/services/StoredValueWriter.h"

namespace parloquin {

StoredValueWriter::StoredValueWriter(platform::UserDefaults& defaults, std::string key, std::string category,
                                     std::shared_ptr<StoreWriteQueue> queue)
    : defaults_(defaults),
      key_(std::move(key)),
      logger_("com.parloquin", std::move(category)),
      queue_(std::move(queue)) {}

StoredValueWriter::~StoredValueWriter() { flush(); }

void StoredValueWriter::save(platform::Data bytes) const { queue_->enqueue(defaults_, key_, std::move(bytes), logger_); }

bool StoredValueWriter::saveAndWait(platform::Data bytes) const {
    return queue_->waitFor(defaults_, key_, queue_->enqueue(defaults_, key_, std::move(bytes), logger_));
}

void StoredValueWriter::flush() const { queue_->flush(defaults_, key_); }

}  // namespace parloquin
