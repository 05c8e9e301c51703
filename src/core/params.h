#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The request parameter list: "name=value" lines, in the order the router made them.
using ParamList = std::vector<std::string>;

// Splits a query or form body at "&"; in each piece "+" becomes a space, then it is
// percent-decoded. Empty pieces are dropped.
void AppendQueryParams(std::string_view query, ParamList& params);

// The value of the first line named name, or empty.
std::string ParamValue(const ParamList& params, std::string_view name);
// Index of the first line named name, or -1.
int ParamIndex(const ParamList& params, std::string_view name);
// Sets the first line named name (appending one when there is none); an empty value
// removes the line instead.
void SetParamValue(ParamList& params, std::string_view name, const std::string& value);

}  // namespace norvane
