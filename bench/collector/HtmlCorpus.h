#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Deterministic, realistic HTML pages of 28-32 KB each (head, CSS, JSON-LD, navigation, paragraphs
// with some non-ASCII text, e-mail addresses plain, linked and obfuscated, links, a staff table, a
// footer, one <title>), in the manner of the peer benchmark's corpus; page i depends only on i.
std::string htmlPage(std::size_t i);
// Whole pages until at least minBytes; the page boundaries are returned in ends.
std::string htmlCorpus(std::size_t minBytes, std::vector<std::size_t>* ends = nullptr);
