<%@ Language="JScript" %><%
var parts = [];
for (var i = 0; i < 3; i++) parts.push(i * 2);
%>js:<%= parts.join(",") %>:<%= Request.QueryString("n") %>
