// Objects inside objects and arrays inside objects.
var p = {name: "Ann", address: {city: "Graz", zip: 8010}, tags: ["a", "b"]};
ShowMessage(p.address.city);
p.address.zip = p.address.zip + 1;
ShowMessage(p.address.zip);
ShowMessage(p.tags.length);
p.tags.push("c");
ShowMessage(p.tags.join("/"));
