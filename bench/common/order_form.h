// An order page of many fields (every tenth a select of three options, every seventh
// field a password) and the stored form that fills each of its fields, for the fill
// benchmarks.
#pragma once

#include <string>

#include "data/form_items.h"
#include "platform/base/text.h"

namespace pellix_bench {

inline std::string OrderPage(int fields) {
  std::string html = "<html><head><title>Order</title></head><body><form id=order action=/send>";
  for (int i = 0; i < fields; ++i) {
    std::string n = std::to_string(i);
    if (i % 10 == 9) {
      html += "<label for=s" + n + ">Choice " + n + "</label><select id=s" + n + " name=s" + n +
              "><option>Alpha<option>Beta<option value=g>Gamma</select>";
    } else {
      html += "<tr><td>Field " + n + "</td><td><input id=f" + n + " name=f" + n +
              (i % 7 == 0 ? " type=password" : "") + "></td></tr>";
    }
  }
  return html + "</form></body></html>";
}

inline TFormFieldList OrderForm(int fields) {
  TFormFieldList list;
  for (int i = 0; i < fields; ++i) {
    std::u16string n = platform::AnsiToWide(std::to_string(i));
    TFormListItem field;
    field.Name = (i % 10 == 9 ? u"s" : u"f") + n;
    field.ID = field.Name;
    field.Value = i % 10 == 9 ? u"Gamma" : u"value " + n;
    list.push_back(field);
  }
  return list;
}

}  // namespace pellix_bench
