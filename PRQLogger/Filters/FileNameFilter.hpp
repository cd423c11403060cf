#pragma once

#include "PRQLogger/Filters/FilterProtocol.hpp"
#include "PRQLogger/Filters/MatchListDescription.hpp"
#include "PRQLogger/Filters/TextSequence.hpp"
#include "PRQLogger/Misc/Creation.hpp"

#include <memory>
#include <string>
#include <vector>

namespace prq {

// Drops log events by the source file of the log call, compared exactly (case-sensitive) either
// by the last path component (`excludePathWhenMatching`, the default) or as whole paths. In
// exclude mode events from the listed files are dropped; in include-only mode (`inverse`) all
// others are. The logger's own messages carry an empty file name and are tested like any event.
//
// No lock is taken: change the names and flags only while no logging runs through the filter.
class FileNameFilter : public FilterProtocol {
public:
    FileNameFilter(CreationKey key, bool inverse, const TextSequence& fileNames, bool excludePathWhenMatching = true);

    // Keeps only events from one of the files.
    static std::shared_ptr<FileNameFilter> includeFrom(const TextSequence& fileNames, bool excludePathWhenMatching = true);
    // Drops events from the files.
    static std::shared_ptr<FileNameFilter> excludeFrom(const TextSequence& fileNames, bool excludePathWhenMatching = true);
    // Sets the mode and the comparison, and adds the names, through the overridable operations.
    void didCreate(CreationKey);

    virtual bool inverse() const;
    virtual void setInverse(bool inverse);

    // True when the name (reduced to its last component unless whole paths are compared) was
    // not there before.
    virtual bool add(const std::string& fileName);
    virtual void add(const TextSequence& fileNames);
    virtual void clear();

    bool shouldExclude(LogDetails& logDetails, std::string& message) override;
    std::string debugDescription() const override;

protected:
    virtual bool excludePath() const;
    virtual void setExcludePath(bool excludePath);
    virtual const MatchSet& fileNamesToMatch() const;
    virtual void setFileNamesToMatch(MatchSet fileNames);

private:
    std::string comparable(std::string_view fileName) const;

    bool inverse_ = false;
    bool excludePath_ = true;
    MatchSet fileNamesToMatch_;
    // What `didCreate` sets up.
    bool createdInverse_;
    bool createdExcludePath_;
    std::vector<std::string> createdFileNames_;
};

}  // namespace prq
