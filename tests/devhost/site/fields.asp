<%@ Language="VBScript" %><%
' How many form fields arrived, and the value of one named ?name=.
Response.ContentType = "text/plain"
Response.Write "count=" & Request.Form.Count & vbLf
Response.Write "value=" & Request.Form(Request.QueryString("name")) & vbLf
%>
