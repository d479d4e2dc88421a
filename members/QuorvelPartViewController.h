// Quorvel党员之家: the second members' home (see PartyHomeViewController).
#pragma once

#include "members/PartyHomeViewController.h"

class QuorvelPartViewController : public PartyHomeViewController {
public:
    std::string screenTitle() const override { return "Quorvel党员之家"; }
    std::string homeType() const override { return "3"; }
    std::string orgKey() const override { return TextView::kQuorvelKey; }
};
