<p>line one</p>
<% Response.Write "no end"
