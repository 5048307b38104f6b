// What an imported file holds that the song cannot carry, each kind said once:
// the importer prints the list on standard error and at the top of the MML.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

class NotCarried {
public:
    // Notes one kind of loss, in words a songwriter understands; a kind
    // already noted is not repeated.
    void note(std::string_view what);
    // The kinds in the order first noted.
    const std::vector<std::string>& kinds() const { return kinds_; }

private:
    std::vector<std::string> kinds_;
    std::set<std::string, std::less<>> seen_;
};
